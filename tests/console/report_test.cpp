// The result report: normalization of the final words, the time and rounding
// error line, the integer part, numbered digit lines, and failed writes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "console/dialogue.h"
#include "console/report.h"
#include "longarith/longnum.h"
#include "support/fixtures.h"
#include "support/oracle.h"
#include "support/text.h"

namespace {

long power(long b, int d)
{
    long r = 1;
    while (d-- > 0) r *= b;
    return r;
}

// The output file and the console are temporary files; the globals that the
// report reads and writes are put back afterwards.
class Report : public RadixTest {
protected:
    void SetUp() override
    {
        saved_file_ = g_out_file;
        g_out_file = tmpfile();
        con_ = tmpfile();
        ASSERT_NE(g_out_file, nullptr);
        ASSERT_NE(con_, nullptr);
    }
    void TearDown() override
    {
        if (g_out_file != nullptr) fclose(g_out_file);
        if (con_ != nullptr) fclose(con_);
        g_out_file = saved_file_;
    }

    // Runs the report over pi (words 1..ne+3 used) in base b and returns the file text.
    std::string report(std::vector<double>& pi, int ne, int b, int offset, double err = 0.0)
    {
        const int d = digits_per_word(b);
        use_radix(static_cast<double>(power(b, d)));
        ok_ = report_result(pi.data(), ne, d, b, offset, clock_ms(), err, con_);
        return read_stream(g_out_file);
    }
    std::string console() { return read_stream(con_); }

    // The first ne words of Pi's fraction in base b, in balanced form as the
    // computation leaves them, with 3 in word 1 and zero guard words.
    static std::vector<double> balanced_pi(int b, int ne)
    {
        const int d = digits_per_word(b);
        const std::vector<int> digits = pi_fraction_digits(b, ne * d);
        std::vector<double> pi(ne + 4, 0.0);
        pi[0] = 1;
        pi[1] = 3;
        for (int j = 0; j < ne; ++j) {
            long w = 0;
            for (int k = 0; k < d; ++k) w = w * b + digits[j * d + k];
            pi[j + 2] = static_cast<double>(w);
        }
        const RadixScope radix(static_cast<double>(power(b, d)));
        ln_normalize(pi.data() + 1, ne + 3);
        return pi;
    }

    FILE* con_ = nullptr;
    bool ok_ = false;

private:
    FILE* saved_file_ = nullptr;
};

// The lines after "  Pi = x.": their labels and digit counts.
struct Layout {
    std::vector<int> labels;
    std::vector<int> counts;
    bool well_formed = true;
};

Layout digit_lines(const std::string& file)
{
    Layout l;
    const size_t at = file.find("  Pi = ");
    if (at == std::string::npos) {
        l.well_formed = false;
        return l;
    }
    size_t pos = file.find('\n', at);
    static const std::regex line(R"( ( *)(\d+) (\S*))");
    while (pos != std::string::npos) {
        const size_t next = file.find('\n', pos + 1);
        const std::string text = file.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
        std::smatch m;
        if (!std::regex_match(text, m, line) || m[1].length() + m[2].length() < 6) l.well_formed = false;
        else {
            l.labels.push_back(std::stoi(m[2]));
            l.counts.push_back(static_cast<int>(m[3].length()));
        }
        pos = next;
    }
    return l;
}

struct LayoutCase {
    int base;
    int offset;
    int ne;
    std::vector<int> labels;
    std::vector<int> counts;
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << "base " << c.base << " offset " << c.offset << " NE " << c.ne;
}

class ReportLines : public Report, public testing::WithParamInterface<LayoutCase> {};

TEST_P(ReportLines, LabelsCountsAndDigitsOfPi)
{
    const LayoutCase& c = GetParam();
    std::vector<double> pi = balanced_pi(c.base, c.ne);
    const std::string file = report(pi, c.ne, c.base, c.offset);
    ASSERT_TRUE(ok_);
    const Layout l = digit_lines(file);
    EXPECT_TRUE(l.well_formed) << file;
    EXPECT_EQ(l.labels, c.labels) << file;
    EXPECT_EQ(l.counts, c.counts) << file;
    const int d = digits_per_word(c.base);
    EXPECT_TRUE(pi_digits_match(file, c.base, c.offset, d, c.ne * d));
    // The file ends with the last digit: no line end after it.
    ASSERT_FALSE(file.empty());
    EXPECT_NE(file.back(), '\n');
    EXPECT_NE(file.back(), ' ');
}

INSTANTIATE_TEST_SUITE_P(
    Bases, ReportLines,
    testing::Values(LayoutCase{10, 0, 20, {1, 61}, {60, 40}},               // N = 100
                    LayoutCase{10, 0, 24, {1, 61}, {60, 60}},               // two full lines, no empty third
                    LayoutCase{10, 0, 25, {1, 61, 121}, {60, 60, 5}},
                    LayoutCase{10, 0, 1, {1}, {5}},
                    LayoutCase{10, 0, 12, {1}, {60}},
                    LayoutCase{3, 0, 11, {1, 56, 111}, {55, 55, 11}},       // 5 words of 11 digits
                    LayoutCase{3, 0, 15, {1, 56, 111}, {55, 55, 55}},
                    LayoutCase{4, 0, 13, {1, 55, 109}, {54, 54, 9}},        // 6 words of 9 digits
                    LayoutCase{5, 0, 8, {1, 57}, {56, 8}},                  // 7 words of 8 digits
                    LayoutCase{6, 0, 9, {1, 57}, {56, 7}},                  // 8 words of 7 digits
                    LayoutCase{7, 0, 10, {1}, {60}},                        // 10 words of 6 digits
                    LayoutCase{8, 0, 21, {1, 61, 121}, {60, 60, 6}},
                    LayoutCase{16, 0, 16, {1, 61}, {60, 4}},                // 15 words of 4 digits
                    LayoutCase{16, 10, 15, {1}, {60}},
                    LayoutCase{26, 10, 31, {1, 61, 121}, {60, 60, 4}},
                    LayoutCase{62, 0, 21, {1, 61}, {60, 3}},                // 20 words of 3 digits
                    LayoutCase{52, 10, 40, {1, 61}, {60, 60}},
                    LayoutCase{36, 0, 45, {1, 61, 121}, {60, 60, 15}}));

TEST_F(Report, Base16WithLetterDigitsRunsFromAToP)
{
    std::vector<double> pi = {1, 3, 0x0123, 0x4567, 0x89ab, 0xcdef, 0, 0};
    const std::string file = report(pi, 4, 16, 10);
    ASSERT_TRUE(ok_);
    const size_t at = file.find("  Pi = ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(file.substr(at), "  Pi = d.\n      1 abcdefghijklmnop");
}

TEST_F(Report, WordsKeepTheirLeadingZeros)
{
    std::vector<double> pi = {1, 3, 7, 0, 10, 99999, 0, 0, 0};
    const std::string file = report(pi, 5, 10, 0);
    const size_t at = file.find("  Pi = ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(file.substr(at), "  Pi = 3.\n      1 0000700000000109999900000");
}

// A negative balanced word borrows from the word before it.
TEST_F(Report, NegativeWordIsNormalizedBeforePrinting)
{
    std::vector<double> pi = {1, 3, 5, -3, 0, 0};
    const std::string file = report(pi, 2, 10, 0);
    ASSERT_TRUE(ok_);
    EXPECT_EQ(file.substr(file.find("  Pi = ")), "  Pi = 3.\n      1 0000499997");
    EXPECT_EQ(pi[2], 4);
    EXPECT_EQ(pi[3], 99997);
    EXPECT_EQ(g_carry_mode, 1);
}

// Guard words take part in the normalization but are not printed; their
// carries and borrows reach the printed words and the integer part.
TEST_F(Report, GuardWordsCarryIntoPrintedWords)
{
    std::vector<double> up = {1, 3, 0, 5, 99999, 100000, -77};   // the -77 lies past word NE + 3
    const std::string file = report(up, 2, 10, 0);
    EXPECT_EQ(file.substr(file.find("  Pi = ")), "  Pi = 3.\n      1 0000000006");
    EXPECT_EQ(up[4], 0);
    EXPECT_EQ(up[5], 0);
    EXPECT_EQ(up[6], -77);
}

TEST_F(Report, BorrowFromGuardWordLowersTheIntegerPart)
{
    std::vector<double> pi = {1, 3, 0, 0, 0, -1};
    const std::string file = report(pi, 2, 10, 0);
    EXPECT_EQ(file.substr(file.find("  Pi = ")), "  Pi = 2.\n      1 9999999999");
}

TEST_F(Report, ExponentWordIsNotRead)
{
    std::vector<double> a = {1, 3, 14159, 26535, 0, 0};
    std::vector<double> b = {-12345, 3, 14159, 26535, 0, 0};
    const std::string fa = report(a, 2, 10, 0);
    fclose(g_out_file);
    g_out_file = tmpfile();
    const std::string fb = report(b, 2, 10, 0);
    EXPECT_EQ(fa.substr(fa.find("  Pi = ")), fb.substr(fb.find("  Pi = ")));
    EXPECT_EQ(b[0], -12345);
}

// Labels keep all their digits past six.
TEST_F(Report, LabelsAbove999999AreNotCut)
{
    const int ne = 200016;   // 16668 lines of 12 words; the last starts at digit 1000021
    std::vector<double> pi(ne + 4, 0.0);
    pi[0] = 1;
    pi[1] = 3;
    pi[ne + 1] = 42;
    const std::string file = report(pi, ne, 10, 0);
    ASSERT_TRUE(ok_);
    EXPECT_NE(file.find("\n 999901 "), std::string::npos);
    const std::string last = "\n 999961 " + std::string(60, '0') + "\n 1000021 " + std::string(55, '0') + "00042";
    ASSERT_GE(file.size(), last.size());
    EXPECT_EQ(file.substr(file.size() - last.size()), last);
    const Layout l = digit_lines(file);
    EXPECT_TRUE(l.well_formed);
    ASSERT_EQ(l.labels.size(), 16668u);
    for (size_t i = 0; i < l.labels.size(); ++i) ASSERT_EQ(l.labels[i], 60 * static_cast<int>(i) + 1) << i;
}

// The integer part is written in the run's base and alphabet, like the fraction.
TEST_F(Report, IntegerPartInTheRunsBaseAndAlphabet)
{
    struct Case {
        int base;
        int offset;
        std::string text;
    };
    std::vector<Case> cases = {{3, 0, "10"}, {3, 10, "ba"}, {16, 10, "d"}, {4, 10, "d"}, {52, 10, "d"}};
    for (int b = 4; b <= 62; ++b) cases.push_back({b, 0, "3"});
    for (const Case& c : cases) {
        SCOPED_TRACE("base " + std::to_string(c.base) + ", offset " + std::to_string(c.offset));
        fclose(g_out_file);
        g_out_file = tmpfile();
        std::vector<double> pi = balanced_pi(c.base, 3);
        const std::string file = report(pi, 3, c.base, c.offset);
        const size_t at = file.find("  Pi = ");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(file.substr(at, 7 + c.text.size() + 2), "  Pi = " + c.text + ".\n");
        EXPECT_TRUE(pi_digits_match(file, c.base, c.offset, digits_per_word(c.base), 3 * digits_per_word(c.base)));
    }
}

// The total-time line: on the console first, then the same line in the file.
TEST_F(Report, TimeAndRoundingErrorLine)
{
    struct Case {
        double err;
        std::string shown;
    };
    for (const Case& c : {Case{1.2345e-7, "1.234500e-07"}, Case{0.0, "0.000000e+00"}, Case{0.4999, "4.999000e-01"},
                          Case{3.0e-300, "3.000000e-300"}}) {
        SCOPED_TRACE(c.shown);
        fclose(g_out_file);
        fclose(con_);
        g_out_file = tmpfile();
        con_ = tmpfile();
        std::vector<double> pi = {1, 3, 14159, 0, 0, 0};
        g_radix = 1e5;
        const long before = clock_ms();
        const long t0 = before - 2500;
        ASSERT_TRUE(report_result(pi.data(), 1, 5, 10, 0, t0, c.err, con_));
        const long after = clock_ms();
        const std::string con = console();
        const std::string file = read_stream(g_out_file);
        static const std::regex line(R"(  Total Time= (\d+\.\d{6}) \(s\)  Rounding Error= (\S+) \n)");
        std::smatch m;
        ASSERT_TRUE(std::regex_match(con, m, line)) << "console: \"" << con << "\"";   // and nothing else
        EXPECT_EQ(m[2].str(), c.shown);
        // Seconds from the start mark to a clock reading taken during the call.
        EXPECT_GE(std::stod(m[1].str()), (before - t0) / 1000.0);
        EXPECT_LE(std::stod(m[1].str()), (after - t0) / 1000.0);
        EXPECT_EQ(file, con + "  Pi = 3.\n      1 14159");
    }
}

TEST_F(Report, WritesThatFailMakeTheReportFalse)
{
    std::vector<double> pi = balanced_pi(10, 20);
    std::vector<double> copy = pi;

    // A file open for reading only: every write fails.
    FILE* scratch = tmpfile();
    ASSERT_NE(scratch, nullptr);
    fclose(g_out_file);
    char name[] = "/tmp/drmpi_report_ro_XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    g_out_file = fopen(name, "r");
    ASSERT_NE(g_out_file, nullptr);
    g_radix = 1e5;
    EXPECT_FALSE(report_result(pi.data(), 20, 5, 10, 0, clock_ms(), 0.0, scratch));
    fclose(g_out_file);
    remove(name);
    fclose(scratch);

    // A full device, unbuffered so that the first write fails at once.
    g_out_file = fopen("/dev/full", "w");
    if (g_out_file == nullptr) GTEST_SKIP() << "no /dev/full here";
    setvbuf(g_out_file, nullptr, _IONBF, 0);
    scratch = tmpfile();
    EXPECT_FALSE(report_result(copy.data(), 20, 5, 10, 0, clock_ms(), 0.0, scratch));
    fclose(scratch);
    fclose(g_out_file);

    // A full device, buffered: output larger than the buffer fails during the report.
    g_out_file = fopen("/dev/full", "w");
    ASSERT_NE(g_out_file, nullptr);
    std::vector<double> big(20004, 0.0);
    big[1] = 3;
    scratch = tmpfile();
    EXPECT_FALSE(report_result(big.data(), 20000, 5, 10, 0, clock_ms(), 0.0, scratch));
    fclose(scratch);
}

TEST_F(Report, GoodWritesMakeTheReportTrue)
{
    std::vector<double> pi = balanced_pi(62, 40);
    report(pi, 40, 62, 0);
    EXPECT_TRUE(ok_);
}

// print_element_digits on its own: exactly d characters, most significant first.
TEST_F(Report, ElementDigits)
{
    struct Case {
        int word;
        int d;
        int b;
        int offset;
        std::string text;
    };
    for (const Case& c : {Case{7, 5, 10, 0, "00007"}, Case{0, 5, 10, 0, "00000"}, Case{99999, 5, 10, 0, "99999"},
                          Case{12345, 5, 10, 0, "12345"}, Case{12345, 5, 10, 10, "bcdef"},
                          Case{177146, 11, 3, 0, "22222222222"}, Case{0, 11, 3, 10, "aaaaaaaaaaa"},
                          Case{1, 11, 3, 0, "00000000001"}, Case{238327, 3, 62, 0, "ZZZ"}, Case{61, 3, 62, 0, "00Z"},
                          Case{62, 3, 62, 0, "010"}, Case{36, 3, 62, 0, "00A"}, Case{35, 3, 62, 0, "00z"},
                          Case{140607, 3, 52, 10, "ZZZ"}, Case{456975, 4, 26, 10, "zzzz"},
                          Case{456975, 4, 26, 0, "pppp"}, Case{255, 4, 16, 0, "00ff"},
                          Case{262143, 9, 4, 0, "333333333"}, Case{390624, 8, 5, 0, "44444444"},
                          Case{279935, 7, 6, 0, "5555555"}}) {
        fclose(g_out_file);
        g_out_file = tmpfile();
        print_element_digits(c.word, c.d, c.b, c.offset);
        EXPECT_EQ(read_stream(g_out_file), c.text)
            << c.word << " in base " << c.b << " with " << c.d << " digits, offset " << c.offset;
    }
}

TEST(DigitChars, ZeroToNineThenLowerThenUpperThenSpace)
{
    const std::string want = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ ";
    ASSERT_EQ(want.size(), 63u);
    for (int i = 0; i < 63; ++i) {
        ASSERT_NE(kDigitChars[i], nullptr) << i;
        EXPECT_EQ(std::string(kDigitChars[i]), std::string(1, want[i])) << "index " << i;
    }
}

}  // namespace
