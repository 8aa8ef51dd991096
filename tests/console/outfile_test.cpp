// The output file on its own: the temporary file beside the real name, the one
// rename that puts it in place, what becomes of whatever had the name before
// (a file, a link, a FIFO, a directory), failed writes and renames, the
// permissions of the result, and the signals that remove the temporary file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/outfile.h"
#include "support/fixtures.h"
#include "support/run_drmpi.h"

namespace {

const char* const kName = "RamnDRM1.txt";
const std::string kContent = " ** Pi Computation by DRM with Ramanujan ** \n  a new run's text\n";

void write_text(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Runs in a fresh current directory; a second one, outside it, holds what
// links point to.
class OutFile : public InFreshDirTest {
protected:
    void SetUp() override
    {
        InFreshDirTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_FALSE(elsewhere().empty());
        out_file_discard();
    }
    void TearDown() override
    {
        out_file_discard();
        InFreshDirTest::TearDown();
    }

    std::vector<std::string> files() const { return names_in(dir()); }
    const std::string& elsewhere() const { return elsewhere_.path(); }

private:
    TempDir elsewhere_;
};

TEST_F(OutFile, WritesUnderATemporaryNameAndRenamesWhenDone)
{
    ASSERT_TRUE(out_file_create(kName));
    ASSERT_NE(g_out_file, nullptr);
    EXPECT_STREQ(g_out_name, kName);
    const std::vector<std::string> during = files();
    ASSERT_EQ(during.size(), 1u);
    const std::string temp = during[0];
    EXPECT_NE(temp, kName);
    EXPECT_EQ(temp[0], '.') << "the temporary file should not show in a plain listing: " << temp;
    struct stat st;
    ASSERT_EQ(lstat(temp.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_size, 0);

    fputs(kContent.c_str(), g_out_file);
    ASSERT_TRUE(out_file_commit());
    EXPECT_EQ(g_out_file, nullptr);
    EXPECT_EQ(files(), std::vector<std::string>{kName});
    EXPECT_EQ(read_file(dir() + "/" + kName), kContent);
}

TEST_F(OutFile, DiscardLeavesNothing)
{
    ASSERT_TRUE(out_file_create(kName));
    fputs(kContent.c_str(), g_out_file);
    out_file_discard();
    EXPECT_EQ(g_out_file, nullptr);
    EXPECT_EQ(files(), std::vector<std::string>{});
    // Once more does nothing, and a commit without a file fails.
    out_file_discard();
    EXPECT_FALSE(out_file_commit());
    EXPECT_EQ(files(), std::vector<std::string>{});
}

// What stands under the name before the run, how to make it and how to tell
// that it, and what it points to, are still as they were.
enum class Earlier { regular_file, hard_link, link_to_a_file, dangling_link, link_to_a_directory, fifo };

struct EarlierCase {
    const char* name;
    Earlier kind;
};

void PrintTo(const EarlierCase& c, std::ostream* os) { *os << c.name; }

class OutFileEarlier : public OutFile, public testing::WithParamInterface<EarlierCase> {
protected:
    void make_earlier()
    {
        const std::string target = elsewhere() + "/target";
        switch (GetParam().kind) {
        case Earlier::regular_file: write_text(kName, "an earlier result\n"); break;
        case Earlier::hard_link:
            write_text(target, "an earlier result\n");
            ASSERT_EQ(link(target.c_str(), kName), 0);
            break;
        case Earlier::link_to_a_file:
            write_text(target, "someone else's file\n");
            ASSERT_EQ(symlink(target.c_str(), kName), 0);
            break;
        case Earlier::dangling_link: ASSERT_EQ(symlink(target.c_str(), kName), 0); break;
        case Earlier::link_to_a_directory:
            ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
            ASSERT_EQ(symlink(target.c_str(), kName), 0);
            break;
        case Earlier::fifo: ASSERT_EQ(mkfifo(kName, 0644), 0); break;
        }
    }
    // The name as it was made: its type, its content or link, and what the
    // link points to, untouched.
    void expect_earlier_unchanged()
    {
        const std::string target = elsewhere() + "/target";
        struct stat st;
        ASSERT_EQ(lstat(kName, &st), 0);
        switch (GetParam().kind) {
        case Earlier::regular_file:
        case Earlier::hard_link:
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(read_file(kName), "an earlier result\n");
            break;
        case Earlier::link_to_a_file:
        case Earlier::dangling_link:
        case Earlier::link_to_a_directory:
            EXPECT_TRUE(S_ISLNK(st.st_mode));
            EXPECT_EQ(std::filesystem::read_symlink(kName), target);
            break;
        case Earlier::fifo: EXPECT_TRUE(S_ISFIFO(st.st_mode)); break;
        }
        expect_target_unchanged();
    }
    void expect_target_unchanged()
    {
        const std::string target = elsewhere() + "/target";
        switch (GetParam().kind) {
        case Earlier::hard_link: EXPECT_EQ(read_file(target), "an earlier result\n"); break;
        case Earlier::link_to_a_file: EXPECT_EQ(read_file(target), "someone else's file\n"); break;
        case Earlier::dangling_link: EXPECT_FALSE(std::filesystem::exists(target)); break;
        case Earlier::link_to_a_directory: EXPECT_TRUE(std::filesystem::is_empty(target)); break;
        default: break;
        }
    }
};

TEST_P(OutFileEarlier, IsReplacedByTheCommitNotFollowed)
{
    make_earlier();
    ASSERT_TRUE(out_file_create(kName));
    fputs(kContent.c_str(), g_out_file);
    fflush(g_out_file);
    expect_earlier_unchanged();
    ASSERT_TRUE(out_file_commit());
    struct stat st;
    ASSERT_EQ(lstat(kName, &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_nlink, 1u);
    EXPECT_EQ(read_file(kName), kContent);
    expect_target_unchanged();
    EXPECT_EQ(files(), std::vector<std::string>{kName});
}

TEST_P(OutFileEarlier, StaysAsItWasAfterADiscard)
{
    make_earlier();
    ASSERT_TRUE(out_file_create(kName));
    fputs(kContent.c_str(), g_out_file);
    out_file_discard();
    expect_earlier_unchanged();
    EXPECT_EQ(files(), std::vector<std::string>{kName});
}

INSTANTIATE_TEST_SUITE_P(Kinds, OutFileEarlier,
                         testing::Values(EarlierCase{"RegularFile", Earlier::regular_file},
                                         EarlierCase{"HardLink", Earlier::hard_link},
                                         EarlierCase{"LinkToAFile", Earlier::link_to_a_file},
                                         EarlierCase{"DanglingLink", Earlier::dangling_link},
                                         EarlierCase{"LinkToADirectory", Earlier::link_to_a_directory},
                                         EarlierCase{"Fifo", Earlier::fifo}),
                         [](const testing::TestParamInfo<EarlierCase>& info) { return info.param.name; });

TEST_F(OutFile, ADirectoryUnderTheNameCannotBeReplaced)
{
    ASSERT_EQ(mkdir(kName, 0755), 0);
    EXPECT_FALSE(out_file_create(kName));
    EXPECT_EQ(g_out_file, nullptr);
    EXPECT_STREQ(g_out_name, kName);
    EXPECT_EQ(files(), std::vector<std::string>{kName});
    EXPECT_TRUE(std::filesystem::is_empty(kName));
}

// A directory that takes the name while the file is written makes the rename
// fail: the commit reports it and takes the temporary file away.
TEST_F(OutFile, ARenameThatFailsRemovesTheTemporaryFile)
{
    ASSERT_TRUE(out_file_create(kName));
    fputs(kContent.c_str(), g_out_file);
    ASSERT_EQ(mkdir(kName, 0755), 0);
    EXPECT_FALSE(out_file_commit());
    EXPECT_EQ(g_out_file, nullptr);
    EXPECT_EQ(files(), std::vector<std::string>{kName});
    EXPECT_TRUE(std::filesystem::is_empty(kName));
}

// The file size limit, met by the flush inside the commit (all of the text is
// still in the stream's buffer): the commit fails and the earlier file stays.
TEST_F(OutFile, AWriteThatFailsInTheCommitKeepsTheEarlierFile)
{
    write_text(kName, "an earlier result\n");
    ASSERT_TRUE(out_file_create(kName));
    const std::string text(3000, '7');
    fputs(text.c_str(), g_out_file);

    struct rlimit was;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
    if (was.rlim_max != RLIM_INFINITY && was.rlim_max < 1024) GTEST_SKIP() << "the file size limit is already lower";
    void (*xfsz)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = was;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool committed = out_file_commit();
    setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, xfsz);

    EXPECT_FALSE(committed);
    EXPECT_EQ(g_out_file, nullptr);
    EXPECT_EQ(read_file(kName), "an earlier result\n");
    EXPECT_EQ(files(), std::vector<std::string>{kName});
}

// The finished file has the permissions of any new file: 0666 less the umask.
TEST_F(OutFile, PermissionsFollowTheUmask)
{
    const mode_t was = umask(022);
    for (const mode_t mask : {022, 077, 027, 002, 0}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        umask(mask);
        ASSERT_TRUE(out_file_create(kName));
        ASSERT_TRUE(out_file_commit());
        struct stat st;
        ASSERT_EQ(stat(kName, &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
    }
    umask(was);
}

// A signal while the file is written removes it and ends the process by that
// very signal; the earlier file stays. The death test's child process (forked
// here, in this directory) does it.
class OutFileSignal : public OutFile, public testing::WithParamInterface<int> {};

TEST_P(OutFileSignal, RemovesTheTemporaryFileAndEndsTheProcess)
{
    const int sig = GetParam();
    write_text(kName, "an earlier result\n");
    EXPECT_EXIT(
        {
            std::signal(sig, SIG_DFL);
            out_file_remove_on_signals();
            if (!out_file_create(kName)) std::_Exit(3);
            fputs(kContent.c_str(), g_out_file);
            fflush(g_out_file);
            raise(sig);
            std::_Exit(4);
        },
        testing::KilledBySignal(sig), "");
    EXPECT_EQ(read_file(kName), "an earlier result\n");
    EXPECT_EQ(files(), std::vector<std::string>{kName});
}

INSTANTIATE_TEST_SUITE_P(Signals, OutFileSignal, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == SIGINT ? "Int" : info.param == SIGTERM ? "Term" : "Hup";
                         });

// nohup and background jobs start a program with signals ignored; they stay so.
TEST_F(OutFile, ASignalIgnoredAtStartStaysIgnored)
{
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            out_file_remove_on_signals();
            if (!out_file_create(kName)) std::_Exit(3);
            raise(SIGHUP);
            out_file_commit();
            std::_Exit(7);
        },
        testing::ExitedWithCode(7), "");
    EXPECT_EQ(files(), std::vector<std::string>{kName});
}

}  // namespace
