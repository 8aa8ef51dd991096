// End-to-end runs of the real executable on how the output file takes its
// place: two runs at once in one directory, the console redirected into the
// file, a FIFO or a link under the file's name, the permissions of the result,
// a rename that fails, and Ctrl-C, kill and a closed terminal in the middle of
// a run. The file under the name is always a whole one: an earlier file as it
// was, or the new run's, complete; and nothing else is left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
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

const std::regex kTotalLine(R"(  Total Time= \d+\.\d{6} \(s\)  Rounding Error= \d\.\d{6}e[-+]\d{2,3} )");
const std::vector<std::string> kRunFiles = {"RamnDRM1.txt", "answers.in", "console.err", "console.out"};

// A complete output file of a run of ID 1 with the "0 start" alphabet: the
// five header lines, then every digit, each one Pi's (by MPFR).
testing::AssertionResult complete_result(const std::string& file, int base, int d, int pi_decimal)
{
    int fmt = 1;
    while (fmt < pi_decimal / d + 4) fmt *= 2;
    const std::string header = " ** Pi Computation by DRM with Ramanujan ** \n  ID=1,  Pi Decimal=" +
                               std::to_string(pi_decimal) + ",  FMT Size=" + std::to_string(fmt) + "\n  Base=" +
                               std::to_string(base) + ",  Digit-Number of a Elements=" + std::to_string(d) +
                               " \n  DRM Steps= ";
    if (file.compare(0, header.size(), header) != 0)
        return testing::AssertionFailure() << "the file does not start with the header: " << file.substr(0, 300);
    const std::vector<std::string> lines = split_lines(file);
    if (lines.size() < 6 || !std::regex_match(lines[4], kTotalLine))
        return testing::AssertionFailure() << "no total-time line in the file";
    return pi_digits_match(file, base, 0, d, pi_decimal);
}

// What a name in the file system stands for, as far as a run could change it.
struct NameState {
    bool exists = false;
    mode_t type = 0;          // S_IFREG, S_IFLNK, S_IFIFO, ...
    ino_t inode = 0;
    std::string content;      // a regular file's
    std::string link;         // a symbolic link's target
    timespec modified{};      // a regular file's
};

NameState name_state(const std::string& path)
{
    NameState s;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.type = st.st_mode & S_IFMT;
    s.inode = st.st_ino;
    if (S_ISREG(st.st_mode)) {
        s.content = read_file(path);
        s.modified = st.st_mtim;
    }
    if (S_ISLNK(st.st_mode)) s.link = std::filesystem::read_symlink(path).string();
    return s;
}

testing::AssertionResult unchanged(const std::string& path, const NameState& before)
{
    const NameState now = name_state(path);
    if (now.exists != before.exists)
        return testing::AssertionFailure() << path << (now.exists ? " has appeared" : " has gone");
    if (now.type != before.type) return testing::AssertionFailure() << path << " is another kind of file now";
    if (now.inode != before.inode) return testing::AssertionFailure() << path << " is another file now";
    if (now.content != before.content) return testing::AssertionFailure() << path << " has other content now";
    if (now.link != before.link) return testing::AssertionFailure() << path << " links elsewhere now";
    if (now.modified.tv_sec != before.modified.tv_sec || now.modified.tv_nsec != before.modified.tv_nsec)
        return testing::AssertionFailure() << path << " has been written";
    return testing::AssertionSuccess();
}

// The one file under a name that was not there before among names.
std::vector<std::string> new_names(const std::vector<std::string>& names, const std::vector<std::string>& known)
{
    std::vector<std::string> fresh;
    for (const std::string& n : names)
        if (std::find(known.begin(), known.end(), n) == known.end()) fresh.push_back(n);
    return fresh;
}

class OutputFile : public TempDirsTest {
protected:
    // A run under a time limit, so that one that hangs fails instead.
    DrmpiRun drmpi(const std::string& answers, const std::string& dir, const std::string& prefix = "")
    {
        return run_drmpi(answers, "RamnDRM1.txt", dir, prefix + " timeout 120");
    }
    // An earlier run's complete result in dir, and its state.
    NameState earlier_result(const std::string& dir)
    {
        const DrmpiRun r = drmpi("10 0 1 1000\n", dir);
        EXPECT_EQ(r.status, 0) << r.console;
        EXPECT_TRUE(r.file_exists && complete_result(r.file, 10, 5, 1000));
        return name_state(dir + "/RamnDRM1.txt");
    }
};

// Two runs in one directory, both past the creation of their files before
// either is told N. Each writes a whole file of its own (the test holds a
// second name of each while they run), and the file left under the name is
// one of them, whole: the one renamed last.
TEST_F(OutputFile, TwoRunsAtOnceEachWriteAWholeFile)
{
    const std::string dir = new_dir();
    DrmpiProcess a(dir, "a");
    DrmpiProcess b(dir, "b");
    ASSERT_TRUE(a.started() && b.started());
    ASSERT_TRUE(a.answer("10 0 1 "));
    ASSERT_TRUE(b.answer("16 0 1 "));
    const std::vector<std::string> consoles = {"a.err", "a.out", "b.err", "b.out"};
    std::vector<std::string> temps;
    ASSERT_TRUE(wait_until(
        [&] {
            temps = new_names(names_in(dir), consoles);
            return temps.size() == 2;
        },
        120))
        << "the two runs did not both create their files";
    for (size_t i = 0; i < temps.size(); ++i)
        ASSERT_EQ(link((dir + "/" + temps[i]).c_str(), (dir + "/held" + std::to_string(i)).c_str()), 0);

    ASSERT_TRUE(a.answer("100000\n"));
    ASSERT_TRUE(b.answer("80000\n"));
    a.close_input();
    b.close_input();
    const int sa = a.wait(300);
    const int sb = b.wait(300);
    ASSERT_TRUE(WIFEXITED(sa) && WEXITSTATUS(sa) == 0) << read_file(dir + "/a.out");
    ASSERT_TRUE(WIFEXITED(sb) && WEXITSTATUS(sb) == 0) << read_file(dir + "/b.out");
    EXPECT_TRUE(std::regex_match(last_line(read_file(dir + "/a.out")), kTotalLine));
    EXPECT_TRUE(std::regex_match(last_line(read_file(dir + "/b.out")), kTotalLine));

    EXPECT_EQ(names_in(dir),
              (std::vector<std::string>{"RamnDRM1.txt", "a.err", "a.out", "b.err", "b.out", "held0", "held1"}));
    // One held file is base 10's, the other base 16's; each is whole.
    int base10 = -1;
    for (int i = 0; i < 2; ++i) {
        const std::string held = read_file(dir + "/held" + std::to_string(i));
        if (held.find("  Base=10,") != std::string::npos) {
            base10 = i;
            EXPECT_TRUE(complete_result(held, 10, 5, 100000));
        } else {
            EXPECT_TRUE(complete_result(held, 16, 4, 80000));
        }
    }
    ASSERT_NE(base10, -1) << "neither file is the base-10 run's";
    const NameState left = name_state(dir + "/RamnDRM1.txt");
    ASSERT_EQ(left.type, static_cast<mode_t>(S_IFREG));
    EXPECT_TRUE(left.inode == name_state(dir + "/held0").inode || left.inode == name_state(dir + "/held1").inode)
        << "the file left is neither run's";
}

// The console sent into the output file by the shell: the shell's file is
// replaced by the run's, so no console line ends up among the digits.
TEST_F(OutputFile, ConsoleRedirectedIntoTheFile)
{
    for (const char* redirect : {">", ">>"}) {
        SCOPED_TRACE(redirect);
        const std::string dir = new_dir();
        earlier_result(dir);
        std::ofstream(dir + "/answers.in") << "10 0 1 1000";
        const std::string cmd = "cd '" + dir + "' && timeout 120 '" + drmpi_exe() + "' < answers.in " + redirect +
                                " RamnDRM1.txt 2> console.err";
        const int rc = std::system(cmd.c_str());
        EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << rc;
        const std::string file = read_file(dir + "/RamnDRM1.txt");
        EXPECT_TRUE(complete_result(file, 10, 5, 1000));
        EXPECT_EQ(file.find("Type In"), std::string::npos) << file;
        EXPECT_EQ(names_in(dir), kRunFiles);
    }
}

// What may stand under the file's name when a run starts.
enum class Under { earlier_file, fifo, link_to_a_file, link_to_dev_full, dangling_link };

struct UnderCase {
    const char* name;
    Under kind;
};

void PrintTo(const UnderCase& c, std::ostream* os) { *os << c.name; }

// How a run ends: completes, or is refused after its file was created.
struct Outcome {
    const char* name;
    std::string answers;
    int status;
    std::string last_line;   // of the console; empty for the total-time line
};

class OutputFileUnderTheName : public OutputFile, public testing::WithParamInterface<UnderCase> {
protected:
    // Makes the thing under the name in dir; returns the path a link points
    // to, or "" for none.
    std::string make_under(const std::string& dir, const std::string& elsewhere)
    {
        const std::string name = dir + "/RamnDRM1.txt";
        switch (GetParam().kind) {
        case Under::earlier_file: std::ofstream(name) << "an earlier file\n"; return "";
        case Under::fifo: EXPECT_EQ(mkfifo(name.c_str(), 0644), 0); return "";
        case Under::link_to_a_file: {
            const std::string target = elsewhere + "/someone_elses.txt";
            std::ofstream(target) << "someone else's file\n";
            EXPECT_EQ(symlink(target.c_str(), name.c_str()), 0);
            return target;
        }
        case Under::link_to_dev_full: EXPECT_EQ(symlink("/dev/full", name.c_str()), 0); return "/dev/full";
        case Under::dangling_link: {
            const std::string target = elsewhere + "/not_there.txt";
            EXPECT_EQ(symlink(target.c_str(), name.c_str()), 0);
            return target;
        }
        }
        return "";
    }
};

// Whatever it is, it is replaced when the run completes and when the header
// of a request over the capacity is put in place, and stays as it was when N
// is below 1; it is never opened, so a FIFO cannot stop the run, and what a
// link points to is never touched.
TEST_P(OutputFileUnderTheName, IsReplacedOrLeftNeverFollowed)
{
    const std::vector<Outcome> outcomes = {
        {"completes", "10 0 1 1000\n", 0, ""},
        {"N below 1", "10 0 1 0\n", 1, " ** Error Stop ** N < 1 "},
        {"N over the capacity", "10 0 1 1310701\n", 1, " ** Error Stop ** N > ND "},
    };
    for (const Outcome& o : outcomes) {
        SCOPED_TRACE(o.name);
        const std::string dir = new_dir();
        const std::string elsewhere = new_dir();
        const std::string target = make_under(dir, elsewhere);
        const NameState name_before = name_state(dir + "/RamnDRM1.txt");
        const NameState target_before = target.empty() ? NameState{} : name_state(target);

        const DrmpiRun r = drmpi(o.answers, dir);
        EXPECT_EQ(r.status, o.status) << r.console;
        if (o.last_line.empty()) {
            EXPECT_TRUE(std::regex_match(last_line(r.console), kTotalLine)) << r.console;
        } else {
            EXPECT_EQ(last_line(r.console), o.last_line);
        }
        if (!target.empty()) {
            EXPECT_TRUE(unchanged(target, target_before));
        }
        EXPECT_EQ(names_in(dir), kRunFiles);
        if (o.status == 0) {
            ASSERT_TRUE(r.file_exists) << "no regular file under the name";
            EXPECT_TRUE(complete_result(r.file, 10, 5, 1000));
        } else if (o.last_line == " ** Error Stop ** N < 1 ") {
            EXPECT_TRUE(unchanged(dir + "/RamnDRM1.txt", name_before));
        } else {
            ASSERT_TRUE(r.file_exists) << "no regular file under the name";
            EXPECT_EQ(r.file,
                      " ** Pi Computation by DRM with Ramanujan ** \n  ID=1,  Pi Decimal=1310705,  FMT Size=524288\n"
                      "  Base=10,  Digit-Number of a Elements=5 \n");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, OutputFileUnderTheName,
                         testing::Values(UnderCase{"EarlierFile", Under::earlier_file},
                                         UnderCase{"Fifo", Under::fifo},
                                         UnderCase{"LinkToAFile", Under::link_to_a_file},
                                         UnderCase{"LinkToDevFull", Under::link_to_dev_full},
                                         UnderCase{"DanglingLink", Under::dangling_link}),
                         [](const testing::TestParamInfo<UnderCase>& info) { return info.param.name; });

// The result has the permissions any new file gets: 0666 less the umask.
TEST_F(OutputFile, PermissionsFollowTheUmask)
{
    for (const int mask : {022, 077, 002}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        char umask_cmd[32];
        std::snprintf(umask_cmd, sizeof umask_cmd, "umask %03o;", mask);
        const DrmpiRun r = drmpi("10 0 1 100\n", new_dir(), umask_cmd);
        ASSERT_EQ(r.status, 0) << r.console;
        struct stat st;
        ASSERT_EQ(stat((r.dir + "/RamnDRM1.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666u & ~static_cast<unsigned>(mask));
    }
}

// A directory that takes the file's name during the run makes the final
// rename fail: that is a failed write, and the run leaves nothing of its own.
TEST_F(OutputFile, ARenameThatFailsIsAFailedWrite)
{
    const std::string dir = new_dir();
    DrmpiProcess p(dir);
    ASSERT_TRUE(p.started());
    ASSERT_TRUE(p.answer("10 0 1 "));
    ASSERT_TRUE(wait_until([&] { return names_in(dir).size() == 3; }, 120)) << "the run created no file";
    ASSERT_EQ(mkdir((dir + "/RamnDRM1.txt").c_str(), 0755), 0);
    ASSERT_TRUE(p.answer("1000\n"));
    p.close_input();
    const int status = p.wait(120);
    const std::string console = read_file(dir + "/console.out");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status << "\n" << console;
    const std::vector<std::string> lines = split_lines(console);
    ASSERT_GE(lines.size(), 2u) << console;
    EXPECT_EQ(lines.back(), " ** Error Stop ** Cannot write RamnDRM1.txt ");
    EXPECT_TRUE(std::regex_match(lines[lines.size() - 2], kTotalLine)) << lines[lines.size() - 2];
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"RamnDRM1.txt", "console.err", "console.out"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir + "/RamnDRM1.txt"));
}

// A signal at the N prompt or in the middle of the computation, sent to the
// run's process group as a terminal sends Ctrl-C: the run dies of that
// signal, its file goes with it, and an earlier result stays as it was.
struct SignalCase {
    const char* name;
    int sig;
    bool mid_run;   // after the first DRM step of a large run; else at the N prompt
};

void PrintTo(const SignalCase& c, std::ostream* os) { *os << c.name; }

class OutputFileSignal : public OutputFile, public testing::WithParamInterface<SignalCase> {};

TEST_P(OutputFileSignal, EndsTheRunAndKeepsTheEarlierResult)
{
    const SignalCase c = GetParam();
    const std::string dir = new_dir();
    const NameState before = earlier_result(dir);
    ASSERT_TRUE(before.exists);
    std::filesystem::remove(dir + "/console.out");

    DrmpiProcess p(dir);
    ASSERT_TRUE(p.started());
    ASSERT_TRUE(p.answer("10 0 3 "));
    ASSERT_TRUE(wait_until([&] { return names_in(dir).size() == kRunFiles.size() + 1; }, 120))
        << "the run created no file";
    if (c.mid_run) {
        ASSERT_TRUE(p.answer("1310700\n"));
        ASSERT_TRUE(wait_until(
            [&] { return read_file(dir + "/console.out").find("  DRM Step=  1,") != std::string::npos; }, 300))
            << read_file(dir + "/console.out");
    } else {
        ASSERT_TRUE(wait_until(
            [&] { return read_file(dir + "/console.out").find(" Type In N ") != std::string::npos; }, 120));
    }
    ASSERT_TRUE(p.running()) << "the run ended before the signal";
    ASSERT_EQ(kill(-p.pid(), c.sig), 0);
    const int status = p.wait(120);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << "wait status " << status;
    EXPECT_TRUE(unchanged(dir + "/RamnDRM1.txt", before));
    EXPECT_EQ(names_in(dir), kRunFiles);
}

INSTANTIATE_TEST_SUITE_P(Signals, OutputFileSignal,
                         testing::Values(SignalCase{"IntAtTheNPrompt", SIGINT, false},
                                         SignalCase{"IntMidRun", SIGINT, true},
                                         SignalCase{"TermAtTheNPrompt", SIGTERM, false},
                                         SignalCase{"TermMidRun", SIGTERM, true},
                                         SignalCase{"HupAtTheNPrompt", SIGHUP, false},
                                         SignalCase{"HupMidRun", SIGHUP, true}),
                         [](const testing::TestParamInfo<SignalCase>& info) { return info.param.name; });

// Ctrl-C in a shell: the shell, which survives it as an interactive one does,
// sees status 130 (128 + SIGINT), as for any program that Ctrl-C ends.
TEST_F(OutputFile, CtrlCInAShellGivesStatus130)
{
    const std::string dir = new_dir();
    const NameState before = earlier_result(dir);
    ASSERT_TRUE(before.exists);
    std::ofstream(dir + "/answers.in") << "10 0 3 1310700\n";
    std::filesystem::remove(dir + "/console.out");
    DrmpiProcess shell(dir, "shell",
                       {"/bin/sh", "-c",
                        "trap : INT; \"$0\" < answers.in > console.out 2> console.err; echo $? > status",
                        drmpi_exe()});
    ASSERT_TRUE(shell.started());
    ASSERT_TRUE(wait_until(
        [&] { return read_file(dir + "/console.out").find("  DRM Step=  1,") != std::string::npos; }, 300))
        << read_file(dir + "/console.out");
    ASSERT_EQ(read_file(dir + "/console.out").find("Total Time"), std::string::npos) << "the run ended before Ctrl-C";
    ASSERT_EQ(kill(-shell.pid(), SIGINT), 0);
    const int status = shell.wait(120);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(read_file(dir + "/status"), "130\n");
    EXPECT_TRUE(unchanged(dir + "/RamnDRM1.txt", before));
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"RamnDRM1.txt", "answers.in", "console.err", "console.out",
                                                        "shell.err", "shell.out", "status"}));
}

}  // namespace
