// End-to-end runs of the real executable: the console transcript, the output
// file, exit statuses, bad answers, the stops and the number of DRM steps.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/oracle.h"
#include "support/fixtures.h"
#include "support/run_drmpi.h"
#include "support/text.h"

namespace {

const std::string kBasePrompt = " Type In Base Value ( from 3 to 62 ) \n";
const std::string kAlphabetPrompt = " Type In 0 or 1 (0; 0 start, 1; a start) \n";
const std::string kIdPrompts = " Type In ID, (ID=1,2,3)      \n 1;Chudnovsky, 2;Fast-Ramanujan 3;Free-Sqrt         \n";

std::string prompts(int base)
{
    return kBasePrompt + kAlphabetPrompt + kIdPrompts + " Type In N (N=Number of Pi " + std::to_string(base) +
           "-Base) \n";
}

std::string header(bool file, int id, int pi_decimal, int fmt, int base, int d)
{
    return std::string(" ** Pi Computation by DRM with Ramanujan ") + (file ? "** " : "") + "\n  ID=" +
           std::to_string(id) + ",  Pi Decimal=" + std::to_string(pi_decimal) + ",  FMT Size=" + std::to_string(fmt) +
           "\n  Base=" + std::to_string(base) + ",  Digit-Number of a Elements=" + std::to_string(d) + " \n";
}

// Runs drmpi under a time limit, so that a run that waits for input that
// never comes fails instead of hanging; removes its directory afterwards.
class DialogueE2e : public TempDirsTest {
protected:
    DrmpiRun drmpi(const std::string& answers, const std::string& file_name, const std::string& dir = "")
    {
        return run_drmpi(answers, file_name, dir.empty() ? new_dir() : dir, "timeout 120");
    }
};

// Bad or out-of-range answers that the run survives: fallbacks, then digits of Pi.
struct Survived {
    std::string answers;
    std::string file_name;
    int base;      // after validation
    int offset;
    int pi_decimal;
};

void PrintTo(const Survived& c, std::ostream* os) { *os << '"' << escaped(c.answers) << '"'; }

class E2eFallback : public DialogueE2e, public testing::WithParamInterface<Survived> {};

TEST_P(E2eFallback, RunCompletesWithTheFallbackValues)
{
    const Survived c = GetParam();
    const DrmpiRun r = drmpi(c.answers, c.file_name);
    ASSERT_EQ(r.status, 0) << r.console;
    const int d = digits_per_word(c.base);
    EXPECT_EQ(r.console.rfind(prompts(c.base), 0), 0u) << r.console;
    ASSERT_TRUE(r.file_exists) << c.file_name;
    const std::string base_line =
        "  Base=" + std::to_string(c.base) + ",  Digit-Number of a Elements=" + std::to_string(d) + " \n";
    EXPECT_NE(r.console.find(base_line), std::string::npos) << r.console;
    EXPECT_NE(r.file.find(base_line), std::string::npos) << r.file;
    EXPECT_NE(r.file.find(",  Pi Decimal=" + std::to_string(c.pi_decimal) + ","), std::string::npos) << r.file;
    EXPECT_TRUE(pi_digits_match(r.file, c.base, c.offset, d, c.pi_decimal));
    // Only the named file was written.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(r.dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{c.file_name, "answers.in", "console.err", "console.out"}));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, E2eFallback,
    testing::Values(Survived{"abc 0 1 100\n", "RamnDRM1.txt", 26, 0, 100},
                    Survived{"1e3 1 2 60\n", "RamnDRM2.txt", 26, 10, 60},
                    Survived{"99999999999 0 3 50\n", "RamnDRM3.txt", 26, 0, 52},
                    Survived{"63 0 1 30\n", "RamnDRM1.txt", 26, 0, 32},
                    Survived{"53 1 1 30\n", "RamnDRM1.txt", 26, 10, 32},
                    Survived{"2 0 1 30\n", "RamnDRM1.txt", 26, 0, 32},
                    Survived{"10 abc 1 100\n", "RamnDRM1.txt", 10, 0, 100},
                    Survived{"52 12x 1 100\n", "RamnDRM1.txt", 52, 0, 102},
                    Survived{"7 -1 2 30\n", "RamnDRM2.txt", 7, 10, 30},
                    Survived{"10 0 abc 100\n", "RamnDRM1.txt", 10, 0, 100},
                    Survived{"10 0 4 100\n", "RamnDRM1.txt", 10, 0, 100},
                    Survived{"10 0 -3 100\n", "RamnDRM1.txt", 10, 0, 100},
                    Survived{"10\n0\n\n\n2\n\n100", "RamnDRM2.txt", 10, 0, 100}));

// N unreadable or below 1: the run stops as soon as N is read, before the
// header, and takes the file it had created away again.
struct Stopped {
    std::string answers;
    int base;   // shown in the N prompt
    std::string file_name;
};

void PrintTo(const Stopped& c, std::ostream* os) { *os << '"' << escaped(c.answers) << '"'; }

class E2eNBelowOne : public DialogueE2e, public testing::WithParamInterface<Stopped> {};

TEST_P(E2eNBelowOne, StopsWithoutAFile)
{
    const Stopped c = GetParam();
    const DrmpiRun r = drmpi(c.answers, c.file_name);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, prompts(c.base) + " ** Error Stop ** N < 1 \n");
    EXPECT_FALSE(r.file_exists);
    EXPECT_EQ(names_in(r.dir), (std::vector<std::string>{"answers.in", "console.err", "console.out"}));
}

INSTANTIATE_TEST_SUITE_P(Answers, E2eNBelowOne,
                         testing::Values(Stopped{"10 0 1 0\n", 10, "RamnDRM1.txt"},
                                         Stopped{"10 0 1 -5\n", 10, "RamnDRM1.txt"},
                                         Stopped{"10 0 2 abc\n", 10, "RamnDRM2.txt"},
                                         Stopped{"10 0 3 12x 100\n", 10, "RamnDRM3.txt"},
                                         Stopped{"10 0 1 99999999999\n", 10, "RamnDRM1.txt"},
                                         Stopped{"10 0 1 -2147483648\n", 10, "RamnDRM1.txt"},
                                         Stopped{"10 0 1\n", 10, "RamnDRM1.txt"},
                                         // End of input before any answer: base 26, alphabet 0, ID 1.
                                         Stopped{"", 26, "RamnDRM1.txt"},
                                         Stopped{"\n\n  \n", 26, "RamnDRM1.txt"},
                                         Stopped{"62 1", 26, "RamnDRM1.txt"}));

TEST_F(DialogueE2e, OneDigitOverTheCapacityStopsAfterTheHeader)
{
    const DrmpiRun r = drmpi("10 0 1 1310701\n", "RamnDRM1.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, prompts(10) + header(false, 1, 1310705, 524288, 10, 5) + " ** Error Stop ** N > ND \n");
    ASSERT_TRUE(r.file_exists);
    EXPECT_EQ(r.file, header(true, 1, 1310705, 524288, 10, 5));
}

TEST_F(DialogueE2e, LargestIntNStopsAtTheCapacity)
{
    const DrmpiRun r = drmpi("10 0 1 2147483647\n", "RamnDRM1.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(ends_with(r.console, " ** Error Stop ** N > ND \n")) << r.console;
    const std::vector<std::string> lines = split_lines(r.console);
    ASSERT_EQ(lines.size(), 9u) << r.console;
    EXPECT_EQ(lines[5], " ** Pi Computation by DRM with Ramanujan ");
    EXPECT_EQ(lines[6].rfind("  ID=1,  Pi Decimal=", 0), 0u) << lines[6];
    EXPECT_EQ(lines[7], "  Base=10,  Digit-Number of a Elements=5 ");
    EXPECT_EQ(r.console.find("=-"), std::string::npos) << r.console;
    ASSERT_TRUE(r.file_exists);
    EXPECT_EQ(split_lines(r.file).size(), 3u) << r.file;
}

TEST_F(DialogueE2e, OutputFileThatCannotBeCreated)
{
    const std::string dir = new_dir();
    ASSERT_EQ(mkdir((dir + "/RamnDRM1.txt").c_str(), 0755), 0);
    const DrmpiRun r = drmpi("10 0 1 100\n", "", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, kBasePrompt + kAlphabetPrompt + kIdPrompts + " ** Error Stop ** Cannot create RamnDRM1.txt \n");
}

// The file is created but its contents cannot be written out: the run must
// not claim success. "ulimit -f 2" (1024 bytes) lets the console through to
// its file and stops the output file, of about 1400 bytes, at its last flush.
TEST_F(DialogueE2e, OutputFileThatCannotBeWritten)
{
    const std::string dir = new_dir();
    const DrmpiRun r = run_drmpi("10 0 1 1000\n", "RamnDRM1.txt", dir, "ulimit -f 2; timeout 120");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(ends_with(r.console, " ** Error Stop ** Cannot write RamnDRM1.txt \n")) << r.console;
    EXPECT_FALSE(r.file_exists);
}

TEST_F(DialogueE2e, FullTranscriptOfASmallRun)
{
    const DrmpiRun r = drmpi("10\n0\n1\n100\n", "RamnDRM1.txt");
    ASSERT_EQ(r.status, 0) << r.console;
    const std::vector<std::string> con = split_lines(r.console);
    ASSERT_EQ(con.size(), 12u) << r.console;
    EXPECT_EQ(r.console.substr(0, prompts(10).size() + header(false, 1, 100, 32, 10, 5).size()),
              prompts(10) + header(false, 1, 100, 32, 10, 5));
    EXPECT_EQ(con[8], "  DRM Steps= 2,  FMT Size= 32 ");
    const std::regex step(R"(  DRM Step=  ([12]),  Time=( *\d+\.\d\d) \(s\))");
    for (int i = 1; i <= 2; ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(con[8 + i], m, step)) << con[8 + i];
        EXPECT_EQ(m[1].str(), std::to_string(i));
        EXPECT_EQ(m[2].length(), 8);
    }
    const std::regex total(R"(  Total Time= \d+\.\d{6} \(s\)  Rounding Error= \d\.\d{6}e[-+]\d{2,3} )");
    EXPECT_TRUE(std::regex_match(con[11], total)) << con[11];
    EXPECT_EQ(r.console.back(), '\n');

    ASSERT_TRUE(r.file_exists);
    const std::vector<std::string> file = split_lines(r.file);
    ASSERT_GE(file.size(), 8u) << r.file;
    EXPECT_EQ(file[0], " ** Pi Computation by DRM with Ramanujan ** ");
    EXPECT_EQ(file[1], "  ID=1,  Pi Decimal=100,  FMT Size=32");
    EXPECT_EQ(file[2], "  Base=10,  Digit-Number of a Elements=5 ");
    EXPECT_EQ(file[3], "  DRM Steps= 2,  FMT Size= 32 ");
    EXPECT_EQ(file[4], con[11]);   // the same total line
    EXPECT_EQ(file[5], "  Pi = 3.");
    EXPECT_EQ(file.size(), 8u);
    EXPECT_TRUE(pi_digits_match(r.file, 10, 0, 5, 100));
    EXPECT_NE(r.file.back(), '\n');
}

// Number of DRM steps per formula, with one numbered timing line per step.
struct StepsCase {
    int base;
    int n;
    int id;
    int steps;
    int fmt;
};

void PrintTo(const StepsCase& c, std::ostream* os)
{
    *os << "base " << c.base << " N " << c.n << " ID " << c.id;
}

class E2eSteps : public DialogueE2e, public testing::WithParamInterface<StepsCase> {};

TEST_P(E2eSteps, OneTimingLinePerStep)
{
    const StepsCase c = GetParam();
    const std::string name = "RamnDRM" + std::to_string(c.id) + ".txt";
    const DrmpiRun r =
        drmpi(std::to_string(c.base) + " 0 " + std::to_string(c.id) + " " + std::to_string(c.n) + "\n", name);
    ASSERT_EQ(r.status, 0) << r.console;
    const std::string steps_line =
        "  DRM Steps= " + std::to_string(c.steps) + ",  FMT Size= " + std::to_string(c.fmt) + " ";
    const std::vector<std::string> con = split_lines(r.console);
    ASSERT_EQ(con.size(), 9u + c.steps + 1) << r.console;
    EXPECT_EQ(con[8], steps_line);
    for (int i = 1; i <= c.steps; ++i) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "  DRM Step=%3d,  Time=", i);
        EXPECT_EQ(con[8 + i].rfind(prefix, 0), 0u) << con[8 + i];
    }
    EXPECT_EQ(con.back().rfind("  Total Time= ", 0), 0u);
    ASSERT_TRUE(r.file_exists);
    EXPECT_EQ(split_lines(r.file)[3], steps_line);
    const int d = digits_per_word(c.base);
    EXPECT_TRUE(pi_digits_match(r.file, c.base, 0, d, (c.n + d - 1) / d * d));
}

INSTANTIATE_TEST_SUITE_P(Formulas, E2eSteps,
                         testing::Values(StepsCase{10, 1000, 1, 3, 256}, StepsCase{10, 1000, 2, 4, 256},
                                         StepsCase{10, 1000, 3, 6, 256}, StepsCase{10, 100, 1, 2, 32},
                                         StepsCase{10, 100, 2, 4, 32}, StepsCase{10, 100, 3, 5, 32},
                                         StepsCase{62, 1000, 1, 2, 512}, StepsCase{62, 1000, 2, 4, 512},
                                         StepsCase{62, 1000, 3, 5, 512}));

// The smallest runs: up to 20 digits, FMT size 8.
TEST_F(DialogueE2e, FewDigitsUseTheSmallestFmtSize)
{
    for (int n = 1; n <= 20; ++n) {
        SCOPED_TRACE("N = " + std::to_string(n));
        const DrmpiRun r = drmpi("10 0 1 " + std::to_string(n) + "\n", "RamnDRM1.txt");
        ASSERT_EQ(r.status, 0) << r.console;
        const int pi_decimal = (n + 4) / 5 * 5;
        EXPECT_NE(r.console.find(header(false, 1, pi_decimal, 8, 10, 5)), std::string::npos) << r.console;
        const std::vector<std::string> file = split_lines(r.file);
        ASSERT_GE(file.size(), 4u);
        EXPECT_EQ(file[3].rfind("  DRM Steps= ", 0), 0u);
        EXPECT_TRUE(ends_with(file[3], ",  FMT Size= 8 ")) << file[3];
        EXPECT_TRUE(pi_digits_match(r.file, 10, 0, 5, pi_decimal));
    }
}

}  // namespace
