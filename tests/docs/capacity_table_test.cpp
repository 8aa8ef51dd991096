// The table of the largest N by base, in README.md and in docs/drmpi.1, held
// to the program: every base of a row takes the row's N in the dialogue (with
// the capacity the program runs with) and refuses one digit more, and the real
// executable stops on that one digit more after its header.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "console/dialogue.h"
#include "drm/storage.h"
#include "longarith/longnum.h"
#include "support/docs.h"
#include "support/fixtures.h"
#include "support/run_drmpi.h"

namespace {

constexpr int kProgramMethod = 3;   // the method row main runs the dialogue with

struct Row {
    int d = 0;            // digits per word
    int first_base = 0;
    int last_base = 0;
    int largest_n = 0;
    bool operator==(const Row&) const = default;
};

void PrintTo(const Row& r, std::ostream* os)
{
    *os << "d " << r.d << ", bases " << r.first_base << " to " << r.last_base << ", N " << r.largest_n;
}

// "3", "7 and 8" or "9 to 13" as the first and last base.
bool parse_bases(const std::string& text, Row* row)
{
    std::smatch m;
    if (std::regex_match(text, m, std::regex(R"(([0-9]+))"))) {
        row->first_base = row->last_base = std::stoi(m[1]);
        return true;
    }
    if (std::regex_match(text, m, std::regex(R"(([0-9]+) (and|to) ([0-9]+))"))) {
        row->first_base = std::stoi(m[1]);
        row->last_base = std::stoi(m[3]);
        return m[2] == "to" ? row->first_base < row->last_base : row->last_base == row->first_base + 1;
    }
    return false;
}

bool parse_number(const std::string& text, int* value)
{
    if (!std::regex_match(text, std::regex("[0-9]+"))) return false;
    *value = std::stoi(text);
    return true;
}

// README.md: the table under "### Largest N by base", cells d | bases | N.
std::vector<Row> readme_rows()
{
    std::vector<Row> rows;
    for (const std::vector<std::string>& cells : readme_table_after(read_source_file("README.md"), "### Largest N by base")) {
        Row row;
        EXPECT_EQ(cells.size(), 3u);
        if (cells.size() != 3 || !parse_number(cells[0], &row.d) || !parse_bases(cells[1], &row) ||
            !parse_number(cells[2], &row.largest_n)) {
            ADD_FAILURE() << "README.md: unreadable row of the table of largest N";
            return {};
        }
        rows.push_back(row);
    }
    return rows;
}

// docs/drmpi.1: the .nf block of DESCRIPTION headed "d bases largest N",
// one row per line: d, the bases, N.
std::vector<Row> man_page_rows()
{
    const std::vector<std::string> section = man_section(read_source_file("docs/drmpi.1"), "DESCRIPTION");
    for (const std::vector<std::string>& block : man_unfilled_blocks(section)) {
        if (block.empty() || !std::regex_match(block[0], std::regex(R"( *d +bases +largest N *)"))) continue;
        std::vector<Row> rows;
        for (size_t i = 1; i < block.size(); ++i) {
            std::smatch m;
            Row row;
            if (!std::regex_match(block[i], m, std::regex(R"( *([0-9]+) +([0-9]+(?: (?:and|to) [0-9]+)?) +([0-9]+) *)")) ||
                !parse_number(m[1], &row.d) || !parse_bases(m[2], &row) || !parse_number(m[3], &row.largest_n)) {
                ADD_FAILURE() << "docs/drmpi.1: unreadable row of the table of largest N: \"" << block[i] << '"';
                return {};
            }
            rows.push_back(row);
        }
        return rows;
    }
    return {};
}

TEST(CapacityTable, ReadmeAndManPageShowTheSameTable)
{
    const std::vector<Row> readme = readme_rows();
    ASSERT_FALSE(readme.empty()) << "no table under \"### Largest N by base\" in README.md";
    const std::vector<Row> man = man_page_rows();
    ASSERT_FALSE(man.empty()) << "no table \"d bases largest N\" in docs/drmpi.1's DESCRIPTION";
    EXPECT_EQ(readme, man);
}

TEST(CapacityTable, RowsCoverEveryBaseOnceInOrder)
{
    const std::vector<Row> rows = readme_rows();
    ASSERT_FALSE(rows.empty());
    int next = 3;
    for (const Row& row : rows) {
        EXPECT_EQ(row.first_base, next) << testing::PrintToString(row);
        next = row.last_base + 1;
    }
    EXPECT_EQ(next, 63);
}

// Runs the dialogue in-process, in a fresh current directory, as main does.
class CapacityDialogue : public InFreshDirTest {
protected:
    void TearDown() override
    {
        close_out_file();
        InFreshDirTest::TearDown();
    }
    static void close_out_file()
    {
        if (g_out_file != nullptr) fclose(g_out_file);
        g_out_file = nullptr;
    }
    int dialogue(const std::string& answers, RunParams* params)
    {
        close_out_file();
        FILE* in = tmpfile();
        FILE* con = tmpfile();
        fwrite(answers.data(), 1, answers.size(), in);
        rewind(in);
        const int status = run_dialogue(kProgramMethod, ND, in, con, params);
        fclose(in);
        fclose(con);
        return status;
    }
};

TEST_F(CapacityDialogue, EveryBaseTakesItsLargestNAndNotOneMore)
{
    const std::vector<Row> rows = readme_rows();
    ASSERT_FALSE(rows.empty());
    for (const Row& row : rows) {
        for (int b = row.first_base; b <= row.last_base; ++b) {
            SCOPED_TRACE("base " + std::to_string(b));
            RunParams p{};
            ASSERT_EQ(dialogue(std::to_string(b) + " 0 1 " + std::to_string(row.largest_n), &p), 0);
            EXPECT_EQ(p.base, b);
            EXPECT_EQ(p.digits_per_element, row.d);
            EXPECT_EQ(p.pi_decimal, row.largest_n);
            EXPECT_LE(p.fmt_size, ND);
            RunParams over{};
            EXPECT_EQ(dialogue(std::to_string(b) + " 0 1 " + std::to_string(row.largest_n + 1), &over), 1);
        }
    }
}

bool ends_with(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// One digit more than the table's N is one word more: the program shows that
// request in its header (N rounded up to N + d) and stops.
TEST(CapacityE2e, OneDigitMoreThanTheTableStopsTheProgram)
{
    const std::vector<Row> rows = readme_rows();
    ASSERT_FALSE(rows.empty());
    for (const Row& row : rows) {
        for (int b = row.first_base; b <= row.last_base; ++b) {
            SCOPED_TRACE("base " + std::to_string(b));
            const TempDir dir;
            const DrmpiRun r = run_drmpi(std::to_string(b) + " 0 1 " + std::to_string(row.largest_n + 1) + "\n",
                                         "RamnDRM1.txt", dir.path(), "timeout 60");
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(ends_with(r.console, " ** Error Stop ** N > ND \n")) << r.console;
            EXPECT_NE(r.console.find("  ID=1,  Pi Decimal=" + std::to_string(row.largest_n + row.d) + ",  FMT Size="),
                      std::string::npos)
                << r.console;
            EXPECT_NE(r.console.find("  Base=" + std::to_string(b) + ",  Digit-Number of a Elements=" +
                                     std::to_string(row.d) + " \n"),
                      std::string::npos)
                << r.console;
        }
    }
}

}  // namespace
