// The fuzzer's corpus (tests/fuzz/corpus) replayed through the run dialogue in
// the ordinary build: every saved input must keep the checks that the fuzz
// target enforces (tests/fuzz/dialogue_check.h), and the checks themselves
// must reject what they are there to reject.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/dialogue_check.h"
#include "support/fixtures.h"
#include "support/run_drmpi.h"

#ifndef DRMPI_FUZZ_CORPUS
#error "DRMPI_FUZZ_CORPUS must name the corpus directory (set in tests/CMakeLists.txt)"
#endif

namespace {

std::vector<std::filesystem::path> corpus_files()
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(DRMPI_FUZZ_CORPUS, ec))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Runs in a fresh current directory, where the dialogue creates its file.
class DialogueCorpus : public InFreshDirTest {
protected:
    void TearDown() override
    {
        out_file_discard();
        InFreshDirTest::TearDown();
    }
};

TEST_F(DialogueCorpus, EverySavedInputKeepsTheChecks)
{
    const std::vector<std::filesystem::path> files = corpus_files();
    ASSERT_GE(files.size(), 10u) << "corpus missing or nearly empty: " << DRMPI_FUZZ_CORPUS;
    for (const auto& path : files) {
        const std::string input = read_file(path.string());
        ASSERT_EQ(std::filesystem::file_size(path), input.size()) << path;
        EXPECT_EQ(dialogue_check::check_input(input), "") << "input " << path.filename();
        EXPECT_EQ(g_out_file, nullptr) << path.filename();
    }
}

// The corpus covers both outcomes and every stop the dialogue can reach here.
TEST_F(DialogueCorpus, CorpusReachesEveryOutcome)
{
    bool runs = false, n_below_1 = false, over_capacity = false;
    for (const auto& path : corpus_files()) {
        const auto e = dialogue_check::expected_outcome(dialogue_check::read_tokens(read_file(path.string())),
                                                        dialogue_check::kCapacity);
        runs = runs || e.status == 0;
        n_below_1 = n_below_1 || e.stop_line == " ** Error Stop ** N < 1 \n";
        over_capacity = over_capacity || e.stop_line == " ** Error Stop ** N > ND \n";
    }
    EXPECT_TRUE(runs);
    EXPECT_TRUE(n_below_1);
    EXPECT_TRUE(over_capacity);
}

TEST_F(DialogueCorpus, HandPickedInputsKeepTheChecks)
{
    for (const std::string& input :
         {std::string("10 0 1 1000"), std::string("62 0 3 786420"), std::string("3 1 2 1"),
          std::string("\v52\f1\r2\t1310700"), std::string("99 7 -3 5 extra tokens"), std::string("10 0 1 1310701"),
          std::string(""), std::string("10 0 1 -2147483648"), std::string("10 0 1 2147483647"),
          std::string("1\0002 3 4", 7), std::string("\xff\xfe 10 0 1 20")}) {
        EXPECT_EQ(dialogue_check::check_input(input), "") << '"' << input << '"';
    }
}

TEST(DialogueCheckTokens, ReadsAnswersAsTheDialogueDocumentsThem)
{
    using dialogue_check::read_token;
    EXPECT_TRUE(read_token("-2147483648").ok);
    EXPECT_EQ(read_token("-2147483648").value, INT_MIN);
    EXPECT_EQ(read_token("+0002147483647").value, INT_MAX);
    EXPECT_FALSE(read_token("2147483648").ok);
    EXPECT_FALSE(read_token("-2147483649").ok);
    EXPECT_FALSE(read_token("00000000000000000000099999999999").ok);
    EXPECT_EQ(read_token(std::string(600, '0') + "7").value, 7);
    for (const char* bad : {"", "+", "-", "1e3", "12x", "--5", "5-", "0x1A", "1.5"}) EXPECT_FALSE(read_token(bad).ok) << bad;
    const auto tokens = dialogue_check::read_tokens(" 12\t\vx\f-3\r\n");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].value, 12);
    EXPECT_FALSE(tokens[1].ok);
    EXPECT_EQ(tokens[2].value, -3);
}

TEST(DialogueCheckRanges, RejectsEachParameterOutsideItsRange)
{
    // Base 10, N = 1000: d 5, 200 words, FMT size 256.
    const RunParams good{0, 256, 200, 1000, 5, 10, 0};
    std::string problems;
    dialogue_check::check_ranges(good, 1000, dialogue_check::kCapacity, problems);
    EXPECT_EQ(problems, "");

    struct Bad {
        RunParams p;
        int64_t n;
        const char* why;
    };
    for (const Bad& b : {Bad{{0, 256, 200, 1000, 5, 2, 0}, 1000, "base"},
                         Bad{{0, 256, 200, 1000, 3, 55, 10}, 600, "base"},
                         Bad{{0, 256, 200, 1000, 5, 10, 3}, 1000, "digit_offset"},
                         Bad{{0, 256, 250, 1000, 4, 10, 0}, 1000, "digits_per_element"},
                         Bad{{0, 256, 0, 0, 5, 10, 0}, 0, "element_count"},
                         Bad{{0, 256, 200, 1005, 5, 10, 0}, 1000, "pi_decimal"},
                         Bad{{0, 256, 200, 1000, 5, 10, 0}, 1001, "pi_decimal"},
                         Bad{{0, 256, 200, 1000, 5, 10, 0}, 995, "d - 1"},
                         Bad{{0, 384, 200, 1000, 5, 10, 0}, 1000, "power of two"},
                         Bad{{0, 128, 200, 1000, 5, 10, 0}, 1000, "element_count + 4"},
                         Bad{{0, 512, 200, 1000, 5, 10, 0}, 1000, "smallest"},
                         Bad{{3, 256, 200, 1000, 5, 10, 0}, 1000, "formula_index"}}) {
        std::string p;
        dialogue_check::check_ranges(b.p, b.n, dialogue_check::kCapacity, p);
        EXPECT_NE(p.find(b.why), std::string::npos) << b.why << ": " << p;
    }
    std::string over;
    dialogue_check::check_ranges({0, 262144, 262140, 1310700, 5, 10, 0}, 1310700, 262143, over);
    EXPECT_NE(over.find("capacity"), std::string::npos) << over;
}

// A capacity other than the program's changes the expected outcome: the
// checks follow it, so a stop where a run was expected would be reported.
TEST_F(DialogueCorpus, ChecksFollowTheCapacity)
{
    EXPECT_EQ(dialogue_check::check_input("10 0 1 1000", 256), "");
    EXPECT_EQ(dialogue_check::check_input("10 0 1 1000", 255), "");
    const auto e = dialogue_check::expected_outcome(dialogue_check::read_tokens("10 0 1 1000"), 255);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.stop_line, " ** Error Stop ** N > ND \n");
}

}  // namespace
