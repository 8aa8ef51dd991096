#include "support/run_drmpi.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/fixtures.h"

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string drmpi_exe() { return DRMPI_EXE; }

std::string drmpi_faults_exe() { return DRMPI_FAULTS_EXE; }

// Writes the answers to dir/answers.in, making dir first when it is empty.
static DrmpiRun prepare_run(const std::string& answers, std::string dir)
{
    DrmpiRun r;
    if (dir.empty()) dir = make_temp_dir();
    r.dir = dir;
    std::ofstream a(dir + "/answers.in", std::ios::binary);
    a << answers;
    return r;
}

// Runs cmd and reads back the exit status, the console and the output file.
static void finish_run(DrmpiRun& r, const std::string& cmd, const std::string& file_name)
{
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.console = read_file(r.dir + "/console.out");
    if (!file_name.empty()) {
        struct stat st;
        const std::string path = r.dir + "/" + file_name;
        r.file_exists = stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        if (r.file_exists) r.file = read_file(path);
    }
}

DrmpiRun run_drmpi(const std::string& answers, const std::string& file_name, std::string dir,
                   const std::string& shell_prefix, const std::string& exe)
{
    DrmpiRun r = prepare_run(answers, dir);
    const std::string cmd = "cd '" + r.dir + "' && " + shell_prefix + " '" + (exe.empty() ? drmpi_exe() : exe) +
                            "' < answers.in > console.out 2> console.err";
    finish_run(r, cmd, file_name);
    return r;
}

DrmpiRun run_drmpi_console_fault(const std::string& answers, const std::string& file_name, ConsoleFault fault,
                                 std::string dir, const std::string& shell_prefix)
{
    DrmpiRun r = prepare_run(answers, dir);
    std::string in = "< answers.in";
    std::string out = "> console.out";
    std::string err = "2> console.err";
    int pipe_end = -1;
    switch (fault) {
    case ConsoleFault::closed_input: in = "<&-"; break;
    case ConsoleFault::closed_output: out = ">&-"; break;
    case ConsoleFault::closed_errors: err = "2>&-"; break;
    case ConsoleFault::full_output: out = "> /dev/full"; break;
    case ConsoleFault::broken_pipe: {
        // The read end is closed before drmpi starts, so that its very first
        // console write already meets a pipe without a reader. The shell names
        // one-digit descriptors only; a run that cannot be set up keeps status -1.
        int fds[2];
        if (pipe(fds) != 0) return r;
        close(fds[0]);
        if (fds[1] > 9) {
            close(fds[1]);
            return r;
        }
        pipe_end = fds[1];
        out = ">&" + std::to_string(pipe_end);
        break;
    }
    }
    const std::string cmd = "cd '" + r.dir + "' && " + shell_prefix + " '" + drmpi_exe() + "' " + in + " " + out +
                            " " + err;
    finish_run(r, cmd, file_name);
    if (pipe_end >= 0) close(pipe_end);
    return r;
}

std::vector<std::string> names_in(const std::string& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

bool wait_until(const std::function<bool()>& ready, double timeout_seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

DrmpiProcess::DrmpiProcess(const std::string& dir, const std::string& console, const std::vector<std::string>& argv)
{
    std::vector<std::string> args = argv.empty() ? std::vector<std::string>{drmpi_exe()} : argv;
    std::vector<char*> c_args;
    for (std::string& a : args) c_args.push_back(a.data());
    c_args.push_back(nullptr);
    const std::string out = dir + "/" + console + ".out";
    const std::string err = dir + "/" + console + ".err";

    // Close-on-exec, so that another process started later does not hold this
    // one's input open; dup2 clears the flag on the copy that becomes input 0.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return;
    }
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        setpgid(0, 0);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) signal(sig, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || chdir(dir.c_str()) != 0) _exit(125);
        dup2(fds[0], 0);
        dup2(o, 1);
        dup2(e, 2);
        close(fds[0]);
        close(fds[1]);
        close(o);
        close(e);
        execv(c_args[0], c_args.data());
        _exit(127);
    }
    close(fds[0]);
    // Set here too, so that the group exists before the caller signals it.
    setpgid(pid, pid);
    pid_ = pid;
    input_ = fds[1];
}

DrmpiProcess::~DrmpiProcess()
{
    close_input();
    if (started() && running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool DrmpiProcess::answer(const std::string& text)
{
    if (input_ < 0) return false;
    // A reader that has gone must fail the write, not kill the test.
    void (*was)(int) = std::signal(SIGPIPE, SIG_IGN);
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(input_, text.data() + done, text.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    std::signal(SIGPIPE, was);
    return done == text.size();
}

void DrmpiProcess::close_input()
{
    if (input_ >= 0) close(input_);
    input_ = -1;
}

bool DrmpiProcess::running()
{
    if (!started() || ended_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        status_ = status;
    }
    return !ended_;
}

int DrmpiProcess::wait(double timeout_seconds)
{
    if (!started()) return -1;
    if (!wait_until([this] { return !running(); }, timeout_seconds)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        ended_ = true;
        status_ = -1;
    }
    return status_;
}
