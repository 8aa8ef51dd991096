// End-to-end runs of the real executable when the output file or the console
// fails: a directory that cannot be written, a directory in the file's place,
// the file size limit, a full disk, a product check that fails, and a console
// that is closed, full or has lost its reader. Every such run ends with status
// 1, never with a success after a write that failed, and a run that stops
// leaves no file of its own: an earlier result under the name stays as it was.
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
#include "support/fixtures.h"
#include "support/run_drmpi.h"
#include "support/text.h"

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
// removes its directories afterwards (also those it could not write to).
class FileFaults : public TempDirsTest {
protected:
    DrmpiRun drmpi(const std::string& answers, const std::string& dir = "", const std::string& limits = "")
    {
        return run_drmpi(answers, "RamnDRM1.txt", dir.empty() ? new_dir() : dir, limits + " timeout 120");
    }
    DrmpiRun drmpi(const std::string& answers, ConsoleFault fault, const std::string& dir = "")
    {
        return run_drmpi_console_fault(answers, "RamnDRM1.txt", fault, dir.empty() ? new_dir() : dir, "timeout 120");
    }
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
// the 20000 digits need about 24000, so a write among the digits fails.
const std::string kSizeLimitShell = "ulimit -f 8;";
const std::vector<std::string> kRunFiles = {"answers.in", "console.err", "console.out"};

void expect_stopped_at_the_size_limit(const DrmpiRun& r)
{
    EXPECT_EQ(r.status, 1);
    const std::vector<std::string> con = split_lines(r.console);
    ASSERT_GE(con.size(), 2u) << r.console;
    EXPECT_EQ(con.back(), kCannotWrite);
    EXPECT_TRUE(std::regex_match(con[con.size() - 2], kTotalLine)) << con[con.size() - 2];
    EXPECT_FALSE(r.file_exists);
    EXPECT_EQ(names_in(r.dir), kRunFiles);
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

// A run that stops after its file was created, with and without an earlier
// result under the name: the earlier result stays exactly as it was, and the
// run leaves nothing of its own.
struct StopCase {
    const char* name;
    std::string answers;
    std::string prefix;   // put in front of the command
    bool faults;          // run drmpi built with fault injection
    std::string last_line;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class FileFaultsStop : public FileFaults, public testing::WithParamInterface<StopCase> {};

TEST_P(FileFaultsStop, LeavesTheEarlierResultAsItWas)
{
    const StopCase c = GetParam();
    for (const bool earlier : {true, false}) {
        SCOPED_TRACE(earlier ? "with an earlier result" : "without an earlier result");
        const std::string dir = new_dir();
        std::string before;
        struct stat before_st {};
        if (earlier) {
            const DrmpiRun e = drmpi("10 0 1 1000\n", dir);
            ASSERT_EQ(e.status, 0) << e.console;
            ASSERT_TRUE(complete_file(e.file, 1000, 256));
            before = e.file;
            ASSERT_EQ(lstat((dir + "/RamnDRM1.txt").c_str(), &before_st), 0);
        }
        const DrmpiRun r = run_drmpi(c.answers, "RamnDRM1.txt", dir, c.prefix + " timeout 120",
                                     c.faults ? drmpi_faults_exe() : "");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(last_line(r.console), c.last_line) << r.console;
        if (earlier) {
            ASSERT_TRUE(r.file_exists);
            EXPECT_EQ(r.file, before);
            struct stat st {};
            ASSERT_EQ(lstat((dir + "/RamnDRM1.txt").c_str(), &st), 0);
            EXPECT_EQ(st.st_ino, before_st.st_ino);
            EXPECT_EQ(st.st_mtim.tv_sec, before_st.st_mtim.tv_sec);
            EXPECT_EQ(st.st_mtim.tv_nsec, before_st.st_mtim.tv_nsec);
            EXPECT_EQ(names_in(dir), (std::vector<std::string>{"RamnDRM1.txt", "answers.in", "console.err",
                                                                "console.out"}));
        } else {
            EXPECT_FALSE(r.file_exists);
            EXPECT_EQ(names_in(dir), kRunFiles);
        }
    }
}

// "ulimit -f 2" allows 1024 bytes: more than the console of a 1000-digit run
// (which goes to a file too), less than its output file, all of which is still
// in the stream's buffer when the file is flushed to be put in place.
INSTANTIATE_TEST_SUITE_P(
    Stops, FileFaultsStop,
    testing::Values(StopCase{"NBelowOne", "10 0 1 0\n", "", false, " ** Error Stop ** N < 1 "},
                    StopCase{"NUnreadable", "10 0 1 12x\n", "", false, " ** Error Stop ** N < 1 "},
                    StopCase{"SizeLimitAmongTheDigits", "10 0 1 20000\n", kSizeLimitShell, false, kCannotWrite},
                    StopCase{"SizeLimitAtTheLastFlush", "10 0 1 1000\n", "ulimit -f 2;", false, kCannotWrite},
                    StopCase{"ProductCheckFailed", "10 0 1 20000\n", "DRMPI_FAULTS=always:0", true,
                             " ** Error Stop ** Product check failed "}),
    [](const testing::TestParamInfo<StopCase>& info) { return info.param.name; });

// A full disk in the middle of the digits: a small file system of its own in
// a private mount namespace, which holds an earlier result and the run's
// file. What the run leaves there is copied out before the namespace ends.
TEST_F(FileFaults, DiskFullWhileTheDigitsAreWritten)
{
    if (std::system("unshare -rm true > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "no private mount namespace here (unshare -rm), so no small file system to fill";
    const std::string dir = new_dir();
    const DrmpiRun e = drmpi("10 0 1 1000\n", dir);
    ASSERT_EQ(e.status, 0) << e.console;
    ASSERT_TRUE(complete_file(e.file, 1000, 256));
    ASSERT_EQ(rename((dir + "/RamnDRM1.txt").c_str(), (dir + "/earlier.txt").c_str()), 0);
    ASSERT_EQ(mkdir((dir + "/disk").c_str(), 0755), 0);
    std::ofstream(dir + "/answers.in") << "10 0 1 20000\n";

    // 16 KiB are four pages: one for the earlier result, three for the
    // run's file of about 24000 bytes.
    const std::string script =
        "mount -t tmpfs -o size=16k tmpfs disk && cp earlier.txt disk/RamnDRM1.txt && cd disk && "
        "{ timeout 120 '" + drmpi_exe() + "' < ../answers.in > ../console.out 2> ../console.err; "
        "echo \\$? > ../status; cp RamnDRM1.txt ../after.txt; ls -A > ../left; }";
    // The script is in double quotes: \$? is the run's status, not the outer shell's.
    const std::string cmd = "cd '" + dir + "' && unshare -rm sh -c \"" + script + "\"";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    EXPECT_EQ(read_file(dir + "/status"), "1\n");
    const std::string console = read_file(dir + "/console.out");
    const std::vector<std::string> con = split_lines(console);
    ASSERT_GE(con.size(), 2u) << console;
    EXPECT_EQ(con.back(), kCannotWrite);
    EXPECT_TRUE(std::regex_match(con[con.size() - 2], kTotalLine)) << con[con.size() - 2];
    EXPECT_EQ(read_file(dir + "/after.txt"), e.file);
    EXPECT_EQ(read_file(dir + "/left"), "RamnDRM1.txt\n");
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
    EXPECT_FALSE(r.file_exists);
    EXPECT_EQ(names_in(r.dir), kRunFiles);
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
    EXPECT_FALSE(r.file_exists);
    // The console is the pipe, so there is no console.out.
    EXPECT_EQ(names_in(r.dir), (std::vector<std::string>{"answers.in", "console.err"}));
}

}  // namespace
