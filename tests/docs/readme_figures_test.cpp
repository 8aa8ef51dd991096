// The README's figures are the benchmark's output: the part between the two
// bench/run.sh markers is the report.md that "bench/run.sh --refresh-readme"
// wrote to bench/results/ with it, and every picture the README shows exists.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/docs.h"

namespace {

TEST(ReadmeFigures, AreTheBenchmarksReport)
{
    const std::vector<std::string> readme = split_lines(read_source_file("README.md"));
    std::vector<std::string> between;
    int markers = 0;
    for (const std::string& line : readme) {
        if (line.rfind("<!-- bench/run.sh --refresh-readme: begin", 0) == 0) {
            ++markers;
            continue;
        }
        if (line.rfind("<!-- bench/run.sh --refresh-readme: end", 0) == 0) {
            ++markers;
            break;
        }
        if (markers == 1) between.push_back(line);
    }
    ASSERT_EQ(markers, 2) << "README.md needs the two bench/run.sh --refresh-readme markers";
    const std::vector<std::string> report = split_lines(read_source_file("bench/results/report.md"));
    ASSERT_FALSE(report.empty()) << "no bench/results/report.md: run bench/run.sh --refresh-readme";
    EXPECT_EQ(between, report) << "README.md's figures are not bench/results/report.md: run bench/run.sh --refresh-readme";
    // The report names the command that printed it.
    EXPECT_EQ(report[0].rfind("Printed by `bench/run.sh --refresh-readme`", 0), 0u) << report[0];
}

TEST(ReadmeFigures, EveryPictureExists)
{
    const std::string readme = read_source_file("README.md");
    const std::regex picture(R"(!\[[^\]]*\]\(([^)]+)\))");
    int count = 0;
    for (auto it = std::sregex_iterator(readme.begin(), readme.end(), picture); it != std::sregex_iterator(); ++it) {
        ++count;
        const std::string path = (*it)[1];
        EXPECT_TRUE(std::filesystem::is_regular_file(source_path(path))) << path;
    }
    EXPECT_GT(count, 0);
}

}  // namespace
