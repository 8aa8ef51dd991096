// Runs the real drmpi executable with scripted answers in a fresh directory.
#pragma once
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct DrmpiRun {
    int status = -1;        // exit status, or -1 when it did not exit normally
    std::string console;    // everything it wrote to standard output
    std::string dir;        // the directory it ran in
    bool file_exists = false;
    std::string file;       // the output file, when file_name was given and exists
};

// The drmpi executable under test.
std::string drmpi_exe();

// drmpi built with fault injection: the environment variable DRMPI_FAULTS
// ("once:N" or "always:N") makes it corrupt products of at least N words.
std::string drmpi_faults_exe();

// Feeds answers to drmpi's standard input in dir (when empty, a fresh one from
// make_temp_dir that the caller removes) and reads back its console and the
// output file file_name (e.g. "RamnDRM1.txt"). shell_prefix is put in front of
// the command (e.g. "ulimit -f 10;"). exe, when given, is run instead of
// drmpi_exe() (a copy that another user may run).
DrmpiRun run_drmpi(const std::string& answers, const std::string& file_name, std::string dir = "",
                   const std::string& shell_prefix = "", const std::string& exe = "");

// A standard stream of drmpi that is spoiled for a run.
enum class ConsoleFault {
    closed_input,    // standard input closed ("<&-")
    closed_output,   // standard output closed (">&-")
    closed_errors,   // standard error closed ("2>&-")
    full_output,     // standard output on a full disk (/dev/full)
    broken_pipe,     // standard output a pipe whose reader has already gone
};

// Runs drmpi as run_drmpi does, with one standard stream spoiled as fault says
// instead of redirected to its file. The console is what reached console.out:
// nothing when standard output is spoiled.
DrmpiRun run_drmpi_console_fault(const std::string& answers, const std::string& file_name, ConsoleFault fault,
                                 std::string dir = "", const std::string& shell_prefix = "");

// The whole content of a file; empty when it cannot be read.
std::string read_file(const std::string& path);

// The names in a directory, "." and ".." aside, hidden ones included, sorted.
std::vector<std::string> names_in(const std::string& dir);

// Checks ready() every few milliseconds until it holds (true) or
// timeout_seconds have passed (false).
bool wait_until(const std::function<bool()>& ready, double timeout_seconds);

// drmpi started in dir and left running, so that a test can act while it
// runs: its standard input is a pipe that the test writes the answers to, its
// console goes to <console>.out and <console>.err in dir, and it leads a
// process group of its own, as a terminal's foreground job does. argv, when
// given, is run instead of drmpi (a shell that runs it, say). A process still
// running when the object goes is killed.
class DrmpiProcess {
public:
    explicit DrmpiProcess(const std::string& dir, const std::string& console = "console",
                          const std::vector<std::string>& argv = {});
    ~DrmpiProcess();
    DrmpiProcess(const DrmpiProcess&) = delete;
    DrmpiProcess& operator=(const DrmpiProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Writes answers to its standard input; false when it can no longer take them.
    bool answer(const std::string& text);
    // Ends its standard input.
    void close_input();
    // Whether it has not ended yet.
    bool running();
    // Waits at most timeout_seconds for it to end and returns its wait status
    // (WIFEXITED, WTERMSIG and so on apply); -1 when it had to be killed.
    int wait(double timeout_seconds);

private:
    pid_t pid_ = -1;
    int input_ = -1;
    bool ended_ = false;
    int status_ = -1;
};
