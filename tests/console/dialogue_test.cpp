// The run dialogue: prompts, validation of the four answers, the derived sizes,
// the output file and its header, the capacity stop and unreadable answers.
// A run's output file is put in place (out_file_commit) before it is read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "console/dialogue.h"
#include "drm/storage.h"
#include "longarith/longnum.h"
#include "support/fixtures.h"
#include "support/run_drmpi.h"
#include "support/text.h"

namespace {

constexpr int kCapacity = ND;   // the capacity the program runs with
constexpr int kRamanujan = kRamanujanRow;

const std::string kBasePrompt = " Type In Base Value ( from 3 to 62 ) \n";
const std::string kAlphabetPrompt = " Type In 0 or 1 (0; 0 start, 1; a start) \n";
const std::string kIdPrompt = " Type In ID, (ID=1,2,3)      \n";
const std::string kFormulaList = " 1;Chudnovsky, 2;Fast-Ramanujan 3;Free-Sqrt         \n";
const std::string kTitle = "DRM with Ramanujan";

std::string n_prompt(int base) { return " Type In N (N=Number of Pi " + std::to_string(base) + "-Base) \n"; }

// The five prompts of the Ramanujan row, with the N prompt showing base.
std::string prompts(int base) { return kBasePrompt + kAlphabetPrompt + kIdPrompt + kFormulaList + n_prompt(base); }

std::string header_lines_2_3(int id, long long pi_decimal, long long fmt, int base, int d)
{
    return "  ID=" + std::to_string(id) + ",  Pi Decimal=" + std::to_string(pi_decimal) +
           ",  FMT Size=" + std::to_string(fmt) + "\n  Base=" + std::to_string(base) +
           ",  Digit-Number of a Elements=" + std::to_string(d) + " \n";
}
std::string console_header(int id, long long pi_decimal, long long fmt, int base, int d,
                           const std::string& title = kTitle)
{
    return " ** Pi Computation by " + title + " \n" + header_lines_2_3(id, pi_decimal, fmt, base, d);
}
std::string file_header(int id, long long pi_decimal, long long fmt, int base, int d,
                        const std::string& title = kTitle)
{
    return " ** Pi Computation by " + title + " ** \n" + header_lines_2_3(id, pi_decimal, fmt, base, d);
}

// Digits per word, from the table of bases (not from the logarithm).
int expected_d(int b)
{
    if (b == 3) return 11;
    if (b == 4) return 9;
    if (b == 5) return 8;
    if (b == 6) return 7;
    if (b <= 8) return 6;
    if (b <= 13) return 5;
    if (b <= 26) return 4;
    return 3;
}

// The smallest power of two that is at least ne + 4.
int fmt_for(int ne)
{
    int f = 1;
    while (f < ne + 4) f *= 2;
    return f;
}

long long power(long long b, int d)
{
    long long r = 1;
    while (d-- > 0) r *= b;
    return r;
}

// Runs run_dialogue in a fresh current directory, with the answers on a
// temporary input file and the console captured in another.
class Dialogue : public InFreshDirTest {
protected:
    struct Result {
        int status = -99;
        std::string console;
        RunParams params{-7, -7, -7, -7, -7, -7, -7};
        bool file_open = false;   // g_out_file was open when the dialogue returned
    };

    void TearDown() override
    {
        close_out_file();
        InFreshDirTest::TearDown();
    }
    static void close_out_file() { out_file_discard(); }

    Result run(const std::string& answers, int method = kRamanujan, int capacity = kCapacity)
    {
        close_out_file();
        for (const auto& e : std::filesystem::directory_iterator(dir()))
            if (e.is_regular_file()) std::filesystem::remove(e.path());
        FILE* in = tmpfile();
        FILE* con = tmpfile();
        fwrite(answers.data(), 1, answers.size(), in);
        rewind(in);
        Result r;
        r.status = run_dialogue(method, capacity, in, con, &r.params);
        r.console = read_stream(con);
        fclose(in);
        fclose(con);
        r.file_open = g_out_file != nullptr;
        if (r.status == 0) {
            EXPECT_TRUE(out_file_commit()) << "the output file could not be put in place";
        }
        return r;
    }

    std::string file(const std::string& name) const { return read_file(dir() + "/" + name); }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir() + "/" + name); }
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Dialogue, TranscriptHeaderAndParametersOfATypicalRun)
{
    g_radix = 7;
    g_carry_mode = 5;
    const Result r = run("10\n0\n1\n1000\n");
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.console, prompts(10) + console_header(1, 1000, 256, 10, 5));
    EXPECT_EQ(file("RamnDRM1.txt"), file_header(1, 1000, 256, 10, 5));
    EXPECT_EQ(files(), std::vector<std::string>{"RamnDRM1.txt"});
    EXPECT_EQ(r.params.formula_index, 0);
    EXPECT_EQ(r.params.fmt_size, 256);
    EXPECT_EQ(r.params.element_count, 200);
    EXPECT_EQ(r.params.pi_decimal, 1000);
    EXPECT_EQ(r.params.digits_per_element, 5);
    EXPECT_EQ(r.params.base, 10);
    EXPECT_EQ(r.params.digit_offset, 0);
    EXPECT_EQ(g_radix, 100000.0);
    EXPECT_EQ(g_carry_mode, -1);
    EXPECT_TRUE(r.file_open);
}

TEST_F(Dialogue, FileHeaderDiffersFromConsoleOnlyInTheFirstLine)
{
    const Result r = run("16 1 3 999");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.console, prompts(16) + console_header(3, 1000, 256, 16, 4));
    EXPECT_EQ(file("RamnDRM3.txt"), file_header(3, 1000, 256, 16, 4));
    EXPECT_EQ(r.params.formula_index, 2);
    EXPECT_EQ(r.params.digit_offset, 10);
}

// The earlier file stays as it was while the dialogue writes the header, and
// is replaced as a whole when the file is put in place.
TEST_F(Dialogue, ExistingOutputFileIsReplacedWhole)
{
    const std::string earlier =
        "an older run's text that is longer than the header of the new one\n"
        "an older run's text that is longer than the header of the new one\n"
        "an older run's text that is longer than the header of the new one\n";
    {
        FILE* f = fopen("RamnDRM2.txt", "w");
        ASSERT_NE(f, nullptr);
        fputs(earlier.c_str(), f);
        fclose(f);
    }
    close_out_file();
    FILE* in = tmpfile();
    FILE* con = tmpfile();
    fputs("10 0 2 100", in);
    rewind(in);
    RunParams p;
    ASSERT_EQ(run_dialogue(kRamanujan, kCapacity, in, con, &p), 0);
    fclose(in);
    fclose(con);
    fflush(g_out_file);
    EXPECT_EQ(file("RamnDRM2.txt"), earlier);
    ASSERT_TRUE(out_file_commit());
    EXPECT_EQ(file("RamnDRM2.txt"), file_header(2, 100, 32, 10, 5));
    EXPECT_EQ(files(), std::vector<std::string>{"RamnDRM2.txt"});
}

// Every base: digits per word d and radix R = b^d, the largest power of b
// not above 10^5.7; the same with the "a start" alphabet up to base 52.
TEST_F(Dialogue, DigitsPerWordAndRadixOfEveryBase)
{
    for (int offset : {0, 10}) {
        for (int b = 3; b <= 62 - offset; ++b) {
            SCOPED_TRACE("base " + std::to_string(b) + ", offset " + std::to_string(offset));
            const int d = expected_d(b);
            const long long radix = power(b, d);
            ASSERT_LE(radix, 501187);
            ASSERT_GT(radix * b, 501187);
            const Result r = run(std::to_string(b) + " " + (offset ? "1" : "0") + " 1 100");
            ASSERT_EQ(r.status, 0);
            const int ne = (100 + d - 1) / d;
            const int fmt = fmt_for(ne);
            EXPECT_EQ(r.console, prompts(b) + console_header(1, ne * d, fmt, b, d));
            EXPECT_EQ(r.params.base, b);
            EXPECT_EQ(r.params.digits_per_element, d);
            EXPECT_EQ(r.params.element_count, ne);
            EXPECT_EQ(r.params.pi_decimal, ne * d);
            EXPECT_EQ(r.params.fmt_size, fmt);
            EXPECT_EQ(r.params.digit_offset, offset);
            EXPECT_EQ(g_radix, static_cast<double>(radix));
        }
    }
}

// FMT size: the smallest power of two that is at least NE + 4.
struct SizeCase {
    int ne;
    int fmt;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << "NE=" << c.ne; }

class DialogueFmtSize : public Dialogue, public testing::WithParamInterface<SizeCase> {};

TEST_P(DialogueFmtSize, SmallestPowerOfTwoAtLeastNePlus4)
{
    const SizeCase c = GetParam();
    // Base 10 has 5 digits a word: N = 5 NE - 4 and N = 5 NE both give NE words.
    for (int n : {5 * c.ne - 4, 5 * c.ne}) {
        SCOPED_TRACE("N = " + std::to_string(n));
        const Result r = run("10 0 1 " + std::to_string(n));
        ASSERT_EQ(r.status, 0) << r.console;
        EXPECT_EQ(r.params.element_count, c.ne);
        EXPECT_EQ(r.params.pi_decimal, 5 * c.ne);
        EXPECT_EQ(r.params.fmt_size, c.fmt);
        EXPECT_TRUE(ends_with(r.console, console_header(1, 5LL * c.ne, c.fmt, 10, 5))) << r.console;
    }
}

INSTANTIATE_TEST_SUITE_P(Boundaries, DialogueFmtSize,
                         testing::Values(SizeCase{1, 8}, SizeCase{2, 8}, SizeCase{3, 8}, SizeCase{4, 8},
                                         SizeCase{5, 16}, SizeCase{12, 16}, SizeCase{13, 32}, SizeCase{200, 256},
                                         SizeCase{201, 256}, SizeCase{252, 256}, SizeCase{253, 512},
                                         SizeCase{1020, 1024}, SizeCase{1021, 2048}, SizeCase{1022, 2048},
                                         SizeCase{1023, 2048}, SizeCase{1024, 2048}, SizeCase{2044, 2048},
                                         SizeCase{2045, 4096}, SizeCase{131068, 131072},
                                         SizeCase{131069, 262144}, SizeCase{262140, 262144}));

TEST_F(Dialogue, NotAMultipleOfDIsRoundedUp)
{
    const Result r = run("10 0 1 1001");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.params.element_count, 201);
    EXPECT_EQ(r.params.pi_decimal, 1005);
    EXPECT_EQ(r.params.fmt_size, 256);
    const Result b3 = run("3 0 1 1");
    ASSERT_EQ(b3.status, 0);
    EXPECT_EQ(b3.params.element_count, 1);
    EXPECT_EQ(b3.params.pi_decimal, 11);
}

// Base validation against the alphabet: out of range becomes 26, silently.
struct BaseCase {
    std::string base_answer;
    int alphabet;
    int base;   // after validation
};

void PrintTo(const BaseCase& c, std::ostream* os) { *os << "base " << c.base_answer << " alphabet " << c.alphabet; }

class DialogueBaseFallback : public Dialogue, public testing::WithParamInterface<BaseCase> {};

TEST_P(DialogueBaseFallback, OutOfRangeBecomes26)
{
    const BaseCase c = GetParam();
    const Result r = run(c.base_answer + " " + std::to_string(c.alphabet) + " 1 100");
    ASSERT_EQ(r.status, 0) << r.console;
    const int d = expected_d(c.base);
    const int ne = (100 + d - 1) / d;
    // The N prompt already shows the validated base; no message is written.
    EXPECT_EQ(r.console, prompts(c.base) + console_header(1, ne * d, fmt_for(ne), c.base, d));
    EXPECT_EQ(r.params.base, c.base);
    EXPECT_EQ(r.params.digits_per_element, d);
    EXPECT_EQ(r.params.digit_offset, c.alphabet ? 10 : 0);
    EXPECT_EQ(g_radix, static_cast<double>(power(c.base, d)));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DialogueBaseFallback,
    testing::Values(BaseCase{"2", 0, 26}, BaseCase{"63", 0, 26}, BaseCase{"53", 1, 26}, BaseCase{"62", 0, 62},
                    BaseCase{"52", 1, 52}, BaseCase{"53", 0, 53}, BaseCase{"3", 1, 3}, BaseCase{"3", 0, 3},
                    BaseCase{"0", 0, 26}, BaseCase{"-5", 0, 26}, BaseCase{"99", 0, 26}, BaseCase{"99", 1, 26},
                    BaseCase{"-2147483648", 1, 26}, BaseCase{"2147483647", 0, 26}, BaseCase{"26", 1, 26}));

TEST_F(Dialogue, Base26IsTheLargestRadix)
{
    const Result r = run("26 0 1 100");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(g_radix, 456976.0);
    for (int b = 3; b <= 62; ++b) EXPECT_LE(power(b, expected_d(b)), 456976) << b;
}

TEST_F(Dialogue, AnyNonzeroAlphabetAnswerMeansAStart)
{
    struct Case {
        std::string answer;
        int offset;
    };
    for (const Case& c : {Case{"0", 0}, Case{"1", 10}, Case{"7", 10}, Case{"-1", 10}, Case{"-2147483648", 10},
                          Case{"2147483647", 10}, Case{"-0", 0}, Case{"+0", 0}}) {
        SCOPED_TRACE("alphabet answer " + c.answer);
        const Result r = run("20 " + c.answer + " 1 100");
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.params.digit_offset, c.offset);
        EXPECT_EQ(r.params.base, 20);
    }
}

TEST_F(Dialogue, FormulaIdOutOfRangeBecomes1)
{
    struct Case {
        std::string answer;
        int id;
    };
    for (const Case& c : {Case{"0", 1}, Case{"-3", 1}, Case{"4", 1}, Case{"2147483647", 1}, Case{"-2147483648", 1},
                          Case{"1", 1}, Case{"2", 2}, Case{"3", 3}, Case{"+3", 3}, Case{"003", 3}}) {
        SCOPED_TRACE("ID answer " + c.answer);
        const Result r = run("10 0 " + c.answer + " 100");
        ASSERT_EQ(r.status, 0);
        const std::string name = "RamnDRM" + std::to_string(c.id) + ".txt";
        EXPECT_EQ(files(), std::vector<std::string>{name});
        EXPECT_EQ(r.params.formula_index, c.id - 1);
        EXPECT_EQ(r.console, prompts(10) + console_header(c.id, 100, 32, 10, 5));
        EXPECT_EQ(file(name), file_header(c.id, 100, 32, 10, 5));
    }
}

// The method row changes the ID prompt, the formula list, the valid IDs, the
// file name and the title; an index outside 0..3 selects row 0.
struct RowCase {
    int method_index;
    std::string id_answer;
    std::string id_prompt;
    std::string formula_list;
    std::string file_name;
    std::string title;
    int id;
};

void PrintTo(const RowCase& c, std::ostream* os) { *os << "row " << c.method_index << " ID " << c.id_answer; }

class DialogueMethodRow : public Dialogue, public testing::WithParamInterface<RowCase> {};

TEST_P(DialogueMethodRow, TextsIdsAndFileName)
{
    const RowCase c = GetParam();
    const Result r = run("10 0 " + c.id_answer + " 100", c.method_index);
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.console, kBasePrompt + kAlphabetPrompt + c.id_prompt + " \n" + c.formula_list + " \n" +
                             n_prompt(10) + console_header(c.id, 100, 32, 10, 5, c.title));
    EXPECT_EQ(files(), std::vector<std::string>{c.file_name});
    EXPECT_EQ(file(c.file_name), file_header(c.id, 100, 32, 10, 5, c.title));
    EXPECT_EQ(r.params.formula_index, c.id - 1);
}

const std::string kAtanPrompt = " Type In ID, (ID=1,2,3,4,5) ";
const std::string kAtanList = " 1;Machin, 2;Gauss, 3;Klingen., 4;Stoemer, 5;Takano";
const std::string kAgmPrompt = " Type In ID, (ID=1)         ";
const std::string kAgmList = " 1;Gauss-Legendre (Now Only)                       ";
const std::string kRamnPrompt = " Type In ID, (ID=1,2,3)     ";
const std::string kRamnList = " 1;Chudnovsky, 2;Fast-Ramanujan 3;Free-Sqrt        ";

INSTANTIATE_TEST_SUITE_P(
    Rows, DialogueMethodRow,
    testing::Values(RowCase{0, "5", kAtanPrompt, kAtanList, "AtanORG5.txt", "Atan Original", 5},
                    RowCase{0, "6", kAtanPrompt, kAtanList, "AtanORG1.txt", "Atan Original", 1},
                    RowCase{1, "1", kAgmPrompt, kAgmList, "AGM-2nd1.txt", "AGM Gauss-Legendre", 1},
                    RowCase{1, "2", kAgmPrompt, kAgmList, "AGM-2nd1.txt", "AGM Gauss-Legendre", 1},
                    RowCase{2, "4", kAtanPrompt, kAtanList, "AtanDRM4.txt", "DRM with Atan", 4},
                    RowCase{2, "0", kAtanPrompt, kAtanList, "AtanDRM1.txt", "DRM with Atan", 1},
                    RowCase{3, "3", kRamnPrompt, kRamnList, "RamnDRM3.txt", "DRM with Ramanujan", 3},
                    RowCase{3, "5", kRamnPrompt, kRamnList, "RamnDRM1.txt", "DRM with Ramanujan", 1},
                    // Out of range: row 0.
                    RowCase{-1, "5", kAtanPrompt, kAtanList, "AtanORG5.txt", "Atan Original", 5},
                    RowCase{4, "4", kAtanPrompt, kAtanList, "AtanORG4.txt", "Atan Original", 4},
                    RowCase{1000, "2", kAtanPrompt, kAtanList, "AtanORG2.txt", "Atan Original", 2},
                    RowCase{INT_MIN, "1", kAtanPrompt, kAtanList, "AtanORG1.txt", "Atan Original", 1}));

TEST(MethodTable, TextsAndLengths)
{
    const struct {
        const char* id_prompt;
        const char* formula_list;
        const char* file_template;
        const char* title;
        int id_count;
    } want[4] = {
        {" Type In ID, (ID=1,2,3,4,5) ", " 1;Machin, 2;Gauss, 3;Klingen., 4;Stoemer, 5;Takano", "AtanORG?.txt",
         "Atan Original", 5},
        {" Type In ID, (ID=1)         ", " 1;Gauss-Legendre (Now Only)                       ", "AGM-2nd?.txt",
         "AGM Gauss-Legendre", 1},
        {" Type In ID, (ID=1,2,3,4,5) ", " 1;Machin, 2;Gauss, 3;Klingen., 4;Stoemer, 5;Takano", "AtanDRM?.txt",
         "DRM with Atan", 5},
        {" Type In ID, (ID=1,2,3)     ", " 1;Chudnovsky, 2;Fast-Ramanujan 3;Free-Sqrt        ", "RamnDRM?.txt",
         "DRM with Ramanujan", 3},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const MethodRow& row = kMethodTable[i];
        EXPECT_STREQ(row.id_prompt, want[i].id_prompt);
        EXPECT_STREQ(row.formula_list, want[i].formula_list);
        EXPECT_STREQ(row.file_template, want[i].file_template);
        EXPECT_STREQ(row.title, want[i].title);
        EXPECT_EQ(row.id_count, want[i].id_count);
        EXPECT_EQ(std::strlen(row.id_prompt), 28u);
        EXPECT_EQ(std::strlen(row.formula_list), 51u);
        EXPECT_EQ(std::strlen(row.file_template), 12u);
        EXPECT_EQ(row.file_template[7], '?');
    }
}

// Capacity: the FMT size, not N, is compared with it; equal passes.
TEST_F(Dialogue, LargestRequestInBase10PassesTheCapacity)
{
    const Result r = run("10 0 1 1310700");
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.params.element_count, 262140);
    EXPECT_EQ(r.params.pi_decimal, 1310700);
    EXPECT_EQ(r.params.fmt_size, 262144);
    EXPECT_EQ(r.console, prompts(10) + console_header(1, 1310700, 262144, 10, 5));
}

// The refused request's header is put in place as the whole file.
TEST_F(Dialogue, OneDigitMoreStopsAfterTheHeader)
{
    const Result r = run("10 0 1 1310701");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, prompts(10) + console_header(1, 1310705, 524288, 10, 5) + " ** Error Stop ** N > ND \n");
    EXPECT_FALSE(r.file_open);
    EXPECT_EQ(file("RamnDRM1.txt"), file_header(1, 1310705, 524288, 10, 5));
    EXPECT_EQ(files(), std::vector<std::string>{"RamnDRM1.txt"});
}

TEST_F(Dialogue, CapacityLimitOfOtherBases)
{
    struct Case {
        int base;
        int largest_n;   // 262140 d
    };
    for (const Case& c : {Case{3, 2883540}, Case{4, 2359260}, Case{5, 2097120}, Case{6, 1834980}, Case{8, 1572840},
                          Case{26, 1048560}, Case{62, 786420}}) {
        SCOPED_TRACE("base " + std::to_string(c.base));
        const Result ok = run(std::to_string(c.base) + " 0 2 " + std::to_string(c.largest_n));
        EXPECT_EQ(ok.status, 0);
        EXPECT_EQ(ok.params.fmt_size, 262144);
        const Result stop = run(std::to_string(c.base) + " 0 2 " + std::to_string(c.largest_n + 1));
        EXPECT_EQ(stop.status, 1);
        EXPECT_TRUE(ends_with(stop.console, " ** Error Stop ** N > ND \n")) << stop.console;
    }
}

TEST_F(Dialogue, CapacityIsTheLargestFmtSizeAllowed)
{
    const Result fits = run("10 0 1 1000", kRamanujan, 256);
    EXPECT_EQ(fits.status, 0);
    EXPECT_EQ(fits.params.fmt_size, 256);
    const Result over = run("10 0 1 1000", kRamanujan, 255);
    EXPECT_EQ(over.status, 1);
    EXPECT_EQ(over.console, prompts(10) + console_header(1, 1000, 256, 10, 5) + " ** Error Stop ** N > ND \n");
    const Result tiny = run("10 0 1 1", kRamanujan, 7);
    EXPECT_EQ(tiny.status, 1);
}

// N + d - 1 overflows an int here: the request must still end in the capacity stop.
TEST_F(Dialogue, HugeNStopsAtTheCapacity)
{
    for (const std::string& answers : {std::string("10 0 1 2147483647"), std::string("10 0 1 2147483644"),
                                       std::string("3 0 1 2147483647"), std::string("62 1 1 2147483647")}) {
        SCOPED_TRACE(answers);
        const Result r = run(answers);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(ends_with(r.console, " ** Error Stop ** N > ND \n")) << r.console;
        const size_t at = r.console.find(" ** Pi Computation by DRM with Ramanujan \n  ID=1,  Pi Decimal=");
        ASSERT_NE(at, std::string::npos) << r.console;
        // No negative size from a wrapped-around count.
        EXPECT_EQ(r.console.find("=-", at), std::string::npos) << r.console;
        const std::string f = file("RamnDRM1.txt");
        EXPECT_EQ(std::count(f.begin(), f.end(), '\n'), 3) << f;
        EXPECT_EQ(f.find("=-"), std::string::npos) << f;
    }
}

// N below 1 creates no file, and an earlier one stays as it was.
TEST_F(Dialogue, NBelowOneStopsBeforeTheHeader)
{
    for (const std::string n : {"0", "-0", "-5", "-1", "-2147483648"}) {
        SCOPED_TRACE("N = " + n);
        const Result r = run("10 0 2 " + n);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.console, prompts(10) + " ** Error Stop ** N < 1 \n");
        EXPECT_FALSE(r.file_open);
        EXPECT_EQ(files(), std::vector<std::string>{});
    }
    // run() clears the directory first; the earlier file is made after that.
    const std::string earlier = "an earlier run's file\n";
    FILE* in = tmpfile();
    FILE* con = tmpfile();
    fputs("10 0 2 0", in);
    rewind(in);
    {
        FILE* f = fopen("RamnDRM2.txt", "w");
        ASSERT_NE(f, nullptr);
        fputs(earlier.c_str(), f);
        fclose(f);
    }
    RunParams p;
    EXPECT_EQ(run_dialogue(kRamanujan, kCapacity, in, con, &p), 1);
    fclose(in);
    fclose(con);
    EXPECT_EQ(g_out_file, nullptr);
    EXPECT_EQ(file("RamnDRM2.txt"), earlier);
    EXPECT_EQ(files(), std::vector<std::string>{"RamnDRM2.txt"});
}

// Unreadable answers: the whole token is consumed, the answer takes its
// fallback (base 26, alphabet 0, ID 1, N 0) and the next answer is read normally.
class DialogueUnreadable : public Dialogue, public testing::WithParamInterface<std::string> {};

TEST_P(DialogueUnreadable, BaseFallsBackTo26)
{
    const Result r = run(GetParam() + " 1 2 100");
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.console, prompts(26) + console_header(2, 100, 32, 26, 4));
    EXPECT_EQ(r.params.digit_offset, 10);
    EXPECT_EQ(files(), std::vector<std::string>{"RamnDRM2.txt"});
}

TEST_P(DialogueUnreadable, AlphabetFallsBackTo0)
{
    const Result r = run("62 " + GetParam() + " 2 100");
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.params.digit_offset, 0);
    EXPECT_EQ(r.params.base, 62);   // valid only with offset 0
    EXPECT_EQ(r.console, prompts(62) + console_header(2, 102, 64, 62, 3));
}

TEST_P(DialogueUnreadable, IdFallsBackTo1)
{
    const Result r = run("10 0 " + GetParam() + " 100");
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.console, prompts(10) + console_header(1, 100, 32, 10, 5));
    EXPECT_EQ(files(), std::vector<std::string>{"RamnDRM1.txt"});
}

TEST_P(DialogueUnreadable, NCountsAsZero)
{
    const Result r = run("10 0 2 " + GetParam() + " 100");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, prompts(10) + " ** Error Stop ** N < 1 \n");
    EXPECT_FALSE(exists("RamnDRM2.txt"));
}

INSTANTIATE_TEST_SUITE_P(Tokens, DialogueUnreadable,
                         testing::Values("abc", "1e3", "12x", "99999999999", "-99999999999", "2147483648",
                                         "-2147483649", "+", "-", "0x1A", "1.5", "--5", "+-5", "5-", "x12",
                                         "12,000"));

TEST_F(Dialogue, EndOfInputAtEveryAnswer)
{
    struct Case {
        std::string answers;
        int base;
        std::string file_name;
    };
    for (const Case& c : {Case{"", 26, "RamnDRM1.txt"}, Case{"   \n\n\t", 26, "RamnDRM1.txt"},
                          Case{"10", 10, "RamnDRM1.txt"}, Case{"10 1", 10, "RamnDRM1.txt"},
                          Case{"62 1\n", 26, "RamnDRM1.txt"}, Case{"10 0 3", 10, "RamnDRM3.txt"},
                          Case{"10 0 3\n\n  ", 10, "RamnDRM3.txt"}}) {
        SCOPED_TRACE("answers \"" + c.answers + "\"");
        const Result r = run(c.answers);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.console, prompts(c.base) + " ** Error Stop ** N < 1 \n");
        EXPECT_EQ(std::string(g_out_name), c.file_name);
        EXPECT_EQ(files(), std::vector<std::string>{});
    }
}

TEST_F(Dialogue, AnswersMayShareLinesOrBeSpreadOut)
{
    const std::string want = prompts(12) + console_header(2, 500, 128, 12, 5);
    for (const std::string& answers :
         {std::string("12 1 2 500\n"), std::string("12\n1\n2\n500\n"), std::string("  12\t1\n\n2   500"),
          std::string("12 1\n2 500"), std::string("\n\n12\r\n1\r\n2\r\n500\r\n"), std::string("12 1 2 500 77 88")}) {
        const Result r = run(answers);
        ASSERT_EQ(r.status, 0) << answers;
        EXPECT_EQ(r.console, want) << answers;
        EXPECT_EQ(r.params.digit_offset, 10);
        EXPECT_EQ(r.params.formula_index, 1);
    }
}

// The output file cannot be created: a directory already has its name.
TEST_F(Dialogue, OutputFileThatCannotBeCreatedStopsTheRun)
{
    ASSERT_EQ(mkdir((dir() + "/RamnDRM1.txt").c_str(), 0755), 0);
    const Result r = run("10 0 1 100");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, kBasePrompt + kAlphabetPrompt + kIdPrompt + kFormulaList +
                             " ** Error Stop ** Cannot create RamnDRM1.txt \n");
    EXPECT_EQ(g_out_file, nullptr);
    EXPECT_EQ(files(), std::vector<std::string>{"RamnDRM1.txt"});
    EXPECT_TRUE(std::filesystem::is_empty(dir() + "/RamnDRM1.txt"));

    // Another ID writes another file, which works.
    const Result other = run("10 0 2 100");
    EXPECT_EQ(other.status, 0);
    EXPECT_EQ(file("RamnDRM2.txt"), file_header(2, 100, 32, 10, 5));
}

TEST_F(Dialogue, ReadOnlyDirectoryStopsTheRun)
{
    if (geteuid() == 0) GTEST_SKIP() << "root may create files in a read-only directory, so nothing to observe";
    ASSERT_EQ(chmod(dir().c_str(), 0555), 0);
    const Result r = run("10 0 3 100");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, kBasePrompt + kAlphabetPrompt + kIdPrompt + kFormulaList +
                             " ** Error Stop ** Cannot create RamnDRM3.txt \n");
    EXPECT_EQ(g_out_file, nullptr);
}

// dialogue_read_int on its own.
struct ReadCase {
    std::string input;
    bool ok;
    int value;   // when ok
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << '"' << (c.input.size() > 24 ? c.input.substr(0, 8) + "..." + std::to_string(c.input.size()) + " chars"
                                       : escaped(c.input))
        << '"';
}

class DialogueReadInt : public testing::TestWithParam<ReadCase> {};

TEST_P(DialogueReadInt, OneToken)
{
    const ReadCase& c = GetParam();
    FILE* in = tmpfile();
    fwrite(c.input.data(), 1, c.input.size(), in);
    rewind(in);
    int value = -4242;
    EXPECT_EQ(dialogue_read_int(in, &value), c.ok) << "\"" << c.input << "\"";
    EXPECT_EQ(value, c.ok ? c.value : -4242) << "\"" << c.input << "\"";
    fclose(in);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, DialogueReadInt,
    testing::Values(ReadCase{"5", true, 5}, ReadCase{"+5", true, 5}, ReadCase{"-0", true, 0},
                    ReadCase{"+0", true, 0}, ReadCase{"007", true, 7}, ReadCase{"-007", true, -7},
                    ReadCase{"  \n\t 42\n", true, 42}, ReadCase{"2147483647", true, INT_MAX},
                    ReadCase{"-2147483648", true, INT_MIN}, ReadCase{"00000000000000000002147483647", true, INT_MAX},
                    ReadCase{"2147483648", false, 0}, ReadCase{"-2147483649", false, 0},
                    ReadCase{"99999999999", false, 0}, ReadCase{"4294967296", false, 0},
                    ReadCase{"18446744073709551617", false, 0}, ReadCase{std::string(5000, '9'), false, 0},
                    ReadCase{std::string(5000, '0') + "13", true, 13}, ReadCase{"abc", false, 0},
                    ReadCase{"1e3", false, 0}, ReadCase{"12x", false, 0}, ReadCase{"x12", false, 0},
                    ReadCase{"1.5", false, 0}, ReadCase{"+", false, 0}, ReadCase{"-", false, 0},
                    ReadCase{"--5", false, 0}, ReadCase{"+-5", false, 0}, ReadCase{"5-", false, 0},
                    ReadCase{"", false, 0}, ReadCase{"   \n\n", false, 0}));

std::vector<std::pair<bool, int>> read_all(const std::string& input, int reads)
{
    FILE* in = tmpfile();
    fwrite(input.data(), 1, input.size(), in);
    rewind(in);
    std::vector<std::pair<bool, int>> got;
    for (int i = 0; i < reads; ++i) {
        int v = -1;
        const bool ok = dialogue_read_int(in, &v);
        got.emplace_back(ok, v);
    }
    fclose(in);
    return got;
}

TEST(DialogueReadIntSequence, ABadTokenIsConsumedWhole)
{
    using P = std::vector<std::pair<bool, int>>;
    EXPECT_EQ(read_all("abc 42\n", 3), (P{{false, -1}, {true, 42}, {false, -1}}));
    EXPECT_EQ(read_all("12x 7", 2), (P{{false, -1}, {true, 7}}));
    EXPECT_EQ(read_all(std::string(3000, '7') + " -3", 2), (P{{false, -1}, {true, -3}}));
    EXPECT_EQ(read_all("1 2\n3\t4", 5), (P{{true, 1}, {true, 2}, {true, 3}, {true, 4}, {false, -1}}));
    EXPECT_EQ(read_all("1e3 -0 +", 4), (P{{false, -1}, {true, 0}, {false, -1}, {false, -1}}));
}

}  // namespace
