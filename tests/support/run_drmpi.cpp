#include "support/run_drmpi.h"

#include <sys/stat.h>
#include <sys/wait.h>

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

DrmpiRun run_drmpi(const std::string& answers, const std::string& file_name, std::string dir,
                   const std::string& shell_prefix)
{
    DrmpiRun r;
    if (dir.empty()) dir = make_temp_dir();
    r.dir = dir;
    {
        std::ofstream a(dir + "/answers.in", std::ios::binary);
        a << answers;
    }
    const std::string cmd = "cd '" + dir + "' && " + shell_prefix + " '" + DRMPI_EXE +
                            "' < answers.in > console.out 2> console.err";
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.console = read_file(dir + "/console.out");
    if (!file_name.empty()) {
        struct stat st;
        const std::string path = dir + "/" + file_name;
        r.file_exists = stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        if (r.file_exists) r.file = read_file(path);
    }
    return r;
}
