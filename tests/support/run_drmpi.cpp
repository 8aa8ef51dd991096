#include "support/run_drmpi.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

std::string make_temp_dir()
{
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/drmpi_test_XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) return "";
    return templ;
}

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
