// The sample session in README.md and the example in docs/drmpi.1 are what the
// program prints: each sample's own command is run again on the real
// executable and its console and file compared line by line with the sample,
// the times masked. When the program's output changes, scripts/refresh-docs.sh
// writes the samples anew.
//
// The samples come from the release build. The rounding error that a run
// prints depends on how the arithmetic was compiled (the sanitized -O1 build
// prints another one, the same on every run), so a build other than the
// release one (DRMPI_DOCS_BUILD unset) masks its value too and checks the
// rest.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/docs.h"
#include "support/fixtures.h"
#include "support/run_drmpi.h"

namespace {

// A time shown by the program ("Time=    0.00", "Total Time= 0.003000") becomes
// "Time=<t>": the only part of a run's output that may differ between runs.
std::string mask_times(const std::string& line)
{
    static const std::regex time(R"(Time= *[0-9]+\.[0-9]+)");
    return std::regex_replace(line, time, "Time=<t>");
}

// "Rounding Error= 1.907349e-05" becomes "Rounding Error=<r>".
std::string mask_rounding_error(const std::string& line)
{
    static const std::regex error(R"(Rounding Error= [0-9]\.[0-9]{6}e[-+][0-9]{2,3})");
    return std::regex_replace(line, error, "Rounding Error=<r>");
}

#ifdef DRMPI_DOCS_BUILD
constexpr bool kDocsBuild = true;
#else
constexpr bool kDocsBuild = false;
#endif

std::vector<std::string> masked(const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        out.push_back(kDocsBuild ? mask_times(line) : mask_rounding_error(mask_times(line)));
    }
    return out;
}

// Expands the escapes of a printf format as the shell's printf does for the
// ones a sample uses (\n, \t, \\); any other escape is reported.
std::string printf_text(const std::string& format)
{
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '\\' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        const char next = format[++i];
        if (next == 'n') out += '\n';
        else if (next == 't') out += '\t';
        else if (next == '\\') out += '\\';
        else ADD_FAILURE() << "printf escape \\" << next << " in " << format;
    }
    return out;
}

std::vector<std::string> first_lines(const std::string& text, size_t count)
{
    std::vector<std::string> lines = split_lines(text);
    if (lines.size() > count) lines.resize(count);
    return lines;
}

class DocsSample : public TempDirsTest {
protected:
    DrmpiRun drmpi(const std::string& answers, const std::string& file_name)
    {
        return run_drmpi(answers, file_name, new_dir(), "timeout 60");
    }
};

TEST_F(DocsSample, ReadmeSampleRunIsTheProgramsOutput)
{
    const std::vector<std::string> block = readme_block_after(read_source_file("README.md"), "## A sample run");
    ASSERT_FALSE(block.empty()) << "no fenced block after \"## A sample run\" in README.md";

    // "$ printf '<answers>' | build/drmpi", the console, "$ head -n K <file>", the file's first K lines.
    std::smatch run_cmd;
    ASSERT_TRUE(std::regex_match(block[0], run_cmd, std::regex(R"(\$ printf '([^']*)' \| build/drmpi)")))
        << block[0];
    size_t head_at = 1;
    while (head_at < block.size() && block[head_at].rfind("$ ", 0) != 0) ++head_at;
    ASSERT_LT(head_at, block.size()) << "no second command in the sample block";
    std::smatch head_cmd;
    ASSERT_TRUE(std::regex_match(block[head_at], head_cmd, std::regex(R"(\$ head -n ([0-9]+) (RamnDRM[1-3]\.txt))")))
        << block[head_at];
    const std::vector<std::string> console(block.begin() + 1, block.begin() + static_cast<long>(head_at));
    const std::vector<std::string> file(block.begin() + static_cast<long>(head_at) + 1, block.end());
    const size_t file_lines = std::stoul(head_cmd[1]);
    ASSERT_EQ(file.size(), file_lines) << "the sample shows a different number of lines than its head -n";

    const DrmpiRun r = drmpi(printf_text(run_cmd[1]), head_cmd[2]);
    ASSERT_EQ(r.status, 0) << r.console;
    ASSERT_TRUE(r.file_exists);
    EXPECT_EQ(masked(console), masked(split_lines(r.console)))
        << "README.md's sample console differs from the program's: run scripts/refresh-docs.sh";
    EXPECT_EQ(masked(file), masked(first_lines(r.file, file_lines)))
        << "README.md's sample file differs from the program's: run scripts/refresh-docs.sh";
}

TEST_F(DocsSample, ManPageOutputFileExampleIsTheProgramsOutput)
{
    const std::vector<std::string> section = man_section(read_source_file("docs/drmpi.1"), "OUTPUT FILE");
    ASSERT_FALSE(section.empty()) << "no OUTPUT FILE section in docs/drmpi.1";

    // The sentence before the example names the file and the command that wrote it.
    std::string prose;
    for (const std::string& line : section) {
        if (line == ".nf") break;
        prose += roff_text(line) + " ";
    }
    std::smatch cmd;
    ASSERT_TRUE(std::regex_search(prose, cmd, std::regex(R"(printf '([^']*)' \| drmpi)"))) << prose;
    std::smatch name;
    ASSERT_TRUE(std::regex_search(prose, name, std::regex(R"(RamnDRM[1-3]\.txt)"))) << prose;

    const std::vector<std::vector<std::string>> blocks = man_unfilled_blocks(section);
    ASSERT_FALSE(blocks.empty()) << "no .nf block in OUTPUT FILE";
    const std::vector<std::string>& example = blocks.front();
    ASSERT_FALSE(example.empty()) << "an empty .nf block in OUTPUT FILE";

    const DrmpiRun r = drmpi(printf_text(cmd[1]), name[0]);
    ASSERT_EQ(r.status, 0) << r.console;
    ASSERT_TRUE(r.file_exists);
    EXPECT_EQ(masked(example), masked(first_lines(r.file, example.size())))
        << "docs/drmpi.1's example differs from the program's file: run scripts/refresh-docs.sh";
}

// The masking hides the times and nothing else.
TEST(DocsSampleMask, OnlyTimesAreMasked)
{
    EXPECT_EQ(mask_times("  DRM Step=  1,  Time=    0.00 (s)"), "  DRM Step=  1,  Time=<t> (s)");
    EXPECT_EQ(mask_times("  Total Time= 0.003000 (s)  Rounding Error= 2.861023e-05 "),
              "  Total Time=<t> (s)  Rounding Error= 2.861023e-05 ");
    EXPECT_NE(mask_times("  Total Time= 0.003000 (s)  Rounding Error= 2.861023e-05 "),
              mask_times("  Total Time= 0.003000 (s)  Rounding Error= 1.907349e-05 "));
    EXPECT_EQ(mask_times("  ID=1,  Pi Decimal=1000,  FMT Size=256"), "  ID=1,  Pi Decimal=1000,  FMT Size=256");
    EXPECT_EQ(mask_rounding_error("  Total Time= 0.003000 (s)  Rounding Error= 2.861023e-05 "),
              "  Total Time= 0.003000 (s)  Rounding Error=<r> ");
}

}  // namespace
