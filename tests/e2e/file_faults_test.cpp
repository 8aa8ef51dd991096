// End-to-end runs of the real executable when the output file or the console
// fails: a directory that cannot be written, a directory in the file's place,
// the file size limit, a full disk, and a console that is closed, full or has
// lost its reader. Every such run ends with status 1, never with a success
// after a write that failed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/oracle.h"
#include "support/run_drmpi.h"

namespace {

const std::string kDialogueToId =
    " Type In Base Value ( from 3 to 62 ) \n"
    " Type In 0 or 1 (0; 0 start, 1; a start) \n"
    " Type In ID, (ID=1,2,3)      \n"
    " 1;Chudnovsky, 2;Fast-Ramanujan 3;Free-Sqrt         \n";
const std::string kCannotCreate = " ** Error Stop ** Cannot create RamnDRM1.txt ";
const std::string kCannotWrite = " ** Error Stop ** Cannot write RamnDRM1.txt ";
const std::regex kTotalLine(R"(  Total Time= \d+\.\d{6} \(s\)  Rounding Error= \d\.\d{6}e[-+]\d{2,3} )");

// The unprivileged user of the read-only directory runs (nobody on Debian).
const std::string kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups";

std::vector<std::string> split_lines(const std::string& s)
{
    std::vector<std::string> lines;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string last_line(const std::string& console)
{
    const std::vector<std::string> lines = split_lines(console);
    return lines.empty() ? "" : lines.back();
}

std::vector<std::string> names_in(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The four header lines of a base-10 run of ID 1 as the file has them.
std::string file_header(int pi_decimal, int fmt)
{
    return " ** Pi Computation by DRM with Ramanujan ** \n  ID=1,  Pi Decimal=" + std::to_string(pi_decimal) +
           ",  FMT Size=" + std::to_string(fmt) + "\n  Base=10,  Digit-Number of a Elements=5 \n  DRM Steps= ";
}

// A complete output file of a base-10 run of ID 1: the header, then every digit.
testing::AssertionResult complete_file(const std::string& file, int pi_decimal, int fmt)
{
    const std::string header = file_header(pi_decimal, fmt);
    if (file.compare(0, header.size(), header) != 0)
        return testing::AssertionFailure() << "the file does not start with the header: " << file.substr(0, 300);
    const std::vector<std::string> lines = split_lines(file);
    if (lines.size() < 6 || !std::regex_match(lines[4], kTotalLine))
        return testing::AssertionFailure() << "no total-time line in the file";
    return pi_digits_match(file, 10, 0, 5, pi_decimal);
}

// An output file of a base-10 run of ID 1 that was cut off after exactly size
// bytes: the header, and from "  Pi = " on the text of Pi's digit lines up to
// the cut, each digit right.
testing::AssertionResult file_cut_at(const std::string& file, size_t size, int pi_decimal, int fmt)
{
    if (file.size() != size) return testing::AssertionFailure() << "the file has " << file.size() << " bytes";
    const std::string header = file_header(pi_decimal, fmt);
    if (file.compare(0, header.size(), header) != 0)
        return testing::AssertionFailure() << "the file does not start with the header: " << file.substr(0, 300);
    const std::vector<std::string> lines = split_lines(file);
    if (lines.size() < 6 || !std::regex_match(lines[4], kTotalLine))
        return testing::AssertionFailure() << "no total-time line in the file";
    const size_t at = file.find("  Pi = ");
    if (at == std::string::npos) return testing::AssertionFailure() << "no \"  Pi = \" in the file";

    const std::vector<int> digits = pi_fraction_digits(10, pi_decimal);
    std::string want = "  Pi = 3.";
    for (int i = 0; i < pi_decimal; i += 60) {
        char label[32];
        std::snprintf(label, sizeof label, "\n %6d ", i + 1);
        want += label;
        for (int j = i; j < std::min(i + 60, pi_decimal); ++j) want += static_cast<char>('0' + digits[j]);
    }
    const std::string rest = file.substr(at);
    if (rest.size() >= want.size()) return testing::AssertionFailure() << "the file is not cut";
    const auto diff = std::mismatch(rest.begin(), rest.end(), want.begin());
    if (diff.first != rest.end())
        return testing::AssertionFailure() << "the file differs from Pi's digit lines at byte "
                                           << at + (diff.first - rest.begin());
    return testing::AssertionSuccess();
}

// Sets a signal to its default action in this process while it lives, so that
// drmpi does not inherit an ignored signal and must ignore it itself.
class DefaultSignal {
public:
    explicit DefaultSignal(int sig) : sig_(sig), old_(std::signal(sig, SIG_DFL)) {}
    ~DefaultSignal() { std::signal(sig_, old_); }
    DefaultSignal(const DefaultSignal&) = delete;
    DefaultSignal& operator=(const DefaultSignal&) = delete;

private:
    int sig_;
    void (*old_)(int);
};

// Runs drmpi under a time limit, so that a run that hangs fails instead;
// removes its directories afterwards.
class FileFaults : public testing::Test {
protected:
    void TearDown() override
    {
        std::error_code ec;
        for (const std::string& d : dirs_) {
            std::filesystem::permissions(d, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
            std::filesystem::remove_all(d, ec);
        }
    }
    DrmpiRun drmpi(const std::string& answers, const std::string& dir = "", const std::string& limits = "")
    {
        DrmpiRun r = run_drmpi(answers, "RamnDRM1.txt", dir, limits + " timeout 120");
        if (dir.empty()) dirs_.push_back(r.dir);
        return r;
    }
    DrmpiRun drmpi(const std::string& answers, ConsoleFault fault, const std::string& dir = "")
    {
        DrmpiRun r = run_drmpi_console_fault(answers, "RamnDRM1.txt", fault, dir, "timeout 120");
        if (dir.empty()) dirs_.push_back(r.dir);
        return r;
    }
    std::string new_dir()
    {
        dirs_.push_back(make_temp_dir());
        return dirs_.back();
    }

private:
    std::vector<std::string> dirs_;
};

// The current directory is readable but not writable. Root writes anywhere,
// so as root the run is made by an unprivileged user from a copy of the
// executable; otherwise the directory's permissions are enough.
TEST_F(FileFaults, DirectoryThatCannotBeWritten)
{
    const bool root = geteuid() == 0;
    if (root && std::system("command -v setpriv > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "running as root without setpriv: no way to run as a user that a read-only directory stops";
    const std::string dir = new_dir();
    const std::string exe = dir + "/drmpi";
    std::filesystem::copy_file(drmpi_exe(), exe);
    std::filesystem::permissions(exe, std::filesystem::perms(0755));
    // The files of the run exist before the directory is closed for writing;
    // they are opened by the test's shell, not by drmpi.
    for (const char* name : {"answers.in", "console.out", "console.err"}) std::ofstream(dir + "/" + name);
    std::filesystem::permissions(dir, std::filesystem::perms(0555));
    std::string as_user;
    if (root) {
        as_user = kAsNobody;
        if (std::system((kAsNobody + " test -x '" + exe + "'").c_str()) != 0)
            GTEST_SKIP() << "the unprivileged user cannot reach " << exe;
    }

    const DrmpiRun r = run_drmpi("10 0 1 100\n", "RamnDRM1.txt", dir, "timeout 120 " + as_user, exe);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, kDialogueToId + kCannotCreate + "\n");
    EXPECT_FALSE(r.file_exists);
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"answers.in", "console.err", "console.out", "drmpi"}));
}

TEST_F(FileFaults, DirectoryInTheFilesPlace)
{
    const std::string dir = new_dir();
    ASSERT_EQ(mkdir((dir + "/RamnDRM1.txt").c_str(), 0755), 0);
    const DrmpiRun r = drmpi("10 0 1 1000\n", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, kDialogueToId + kCannotCreate + "\n");
    EXPECT_EQ(last_line(r.console), kCannotCreate);
    EXPECT_FALSE(r.file_exists);
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/RamnDRM1.txt"));
    EXPECT_TRUE(std::filesystem::is_empty(dir + "/RamnDRM1.txt"));
}

// "ulimit -f 8" of the POSIX shell allows 8 blocks of 512 bytes, 4096 bytes;
// the 20000 digits need about 24000. The writes go up to the limit exactly.
const size_t kSizeLimit = 8 * 512;
const std::string kSizeLimitShell = "ulimit -f 8;";

void expect_stopped_at_the_size_limit(const DrmpiRun& r)
{
    EXPECT_EQ(r.status, 1);
    const std::vector<std::string> con = split_lines(r.console);
    ASSERT_GE(con.size(), 2u) << r.console;
    EXPECT_EQ(con.back(), kCannotWrite);
    EXPECT_TRUE(std::regex_match(con[con.size() - 2], kTotalLine)) << con[con.size() - 2];
    ASSERT_TRUE(r.file_exists);
    EXPECT_TRUE(file_cut_at(r.file, kSizeLimit, 20000, 4096));
}

TEST_F(FileFaults, FileSizeLimitWithTheSignalIgnoredByTheShell)
{
    expect_stopped_at_the_size_limit(drmpi("10 0 1 20000\n", "", "trap '' XFSZ; " + kSizeLimitShell));
}

// Without the shell's help drmpi must not die of the signal either.
TEST_F(FileFaults, FileSizeLimitWithTheSignalAtItsDefault)
{
    const DefaultSignal xfsz(SIGXFSZ);
    expect_stopped_at_the_size_limit(drmpi("10 0 1 20000\n", "", kSizeLimitShell));
}

// A full disk in the middle of the digits, long before the file is closed.
TEST_F(FileFaults, DiskFullWhileTheDigitsAreWritten)
{
    const std::string dir = new_dir();
    if (symlink("/dev/full", (dir + "/RamnDRM1.txt").c_str()) != 0) GTEST_SKIP() << "no symbolic links here";
    const DrmpiRun r = drmpi("10 0 1 20000\n", dir);
    EXPECT_EQ(r.status, 1);
    const std::vector<std::string> con = split_lines(r.console);
    ASSERT_GE(con.size(), 2u) << r.console;
    EXPECT_EQ(con.back(), kCannotWrite);
    EXPECT_TRUE(std::regex_match(con[con.size() - 2], kTotalLine)) << con[con.size() - 2];
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/RamnDRM1.txt"));
    EXPECT_EQ(std::filesystem::read_symlink(dir + "/RamnDRM1.txt"), "/dev/full");
}

// A console that cannot be written: the digits still reach the file, whole and
// free of console lines, but the run does not count as a success. A broken
// pipe must not kill the run either, even with SIGPIPE at its default.
TEST_F(FileFaults, ConsoleThatCannotBeWritten)
{
    const struct {
        const char* name;
        ConsoleFault fault;
    } cases[] = {
        {"closed", ConsoleFault::closed_output},
        {"reader gone", ConsoleFault::broken_pipe},
        {"full disk", ConsoleFault::full_output},
    };
    const DefaultSignal pipe_signal(SIGPIPE);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DrmpiRun r = drmpi("10 0 1 1000\n", c.fault);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.console, "");
        ASSERT_TRUE(r.file_exists);
        EXPECT_TRUE(complete_file(r.file, 1000, 256));
    }
}

// No answers at all: the fallbacks, then the stop for N, as with empty input.
TEST_F(FileFaults, ClosedInput)
{
    const DrmpiRun r = drmpi("10 0 1 1000\n", ConsoleFault::closed_input);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, kDialogueToId + " Type In N (N=Number of Pi 26-Base) \n ** Error Stop ** N < 1 \n");
    ASSERT_TRUE(r.file_exists);
    EXPECT_EQ(r.file, "");
}

// drmpi writes nothing to standard error, so closing it changes nothing.
TEST_F(FileFaults, ClosedErrorStreamIsNoFault)
{
    const DrmpiRun r = drmpi("10 0 1 1000\n", ConsoleFault::closed_errors);
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_TRUE(std::regex_match(last_line(r.console), kTotalLine)) << r.console;
    ASSERT_TRUE(r.file_exists);
    EXPECT_TRUE(complete_file(r.file, 1000, 256));
}

// A stop while the console is gone keeps its status.
TEST_F(FileFaults, ClosedConsoleAndADirectoryInTheFilesPlace)
{
    const std::string dir = new_dir();
    ASSERT_EQ(mkdir((dir + "/RamnDRM1.txt").c_str(), 0755), 0);
    const DrmpiRun r = drmpi("10 0 1 1000\n", ConsoleFault::closed_output, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, "");
    EXPECT_TRUE(std::filesystem::is_empty(dir + "/RamnDRM1.txt"));
}

TEST_F(FileFaults, ConsoleWhoseReaderHasGoneAndNBelowOne)
{
    const DefaultSignal pipe_signal(SIGPIPE);
    const DrmpiRun r = drmpi("10 0 1 0\n", ConsoleFault::broken_pipe);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console, "");
    ASSERT_TRUE(r.file_exists);
    EXPECT_EQ(r.file, "");
}

}  // namespace
