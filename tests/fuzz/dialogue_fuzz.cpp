// libFuzzer target: arbitrary bytes as the dialogue's standard input.
//
// Every input runs run_dialogue with the program's method row and capacity,
// its console captured in memory and then dropped, and is checked by
// dialogue_check::check_input (status, parameter ranges, the output file and
// the stop lines, and dialogue_read_int token by token); any violation aborts,
// so libFuzzer saves the input. A run's output file is put in place after each
// input, so the next one finds an earlier file under the name.
//
// The dialogue creates RamnDRM<id>.txt in the current directory, so the target
// moves once, at start, into a private temporary directory and removes it at
// exit. Paths given to the fuzzer (corpus, artifacts) must therefore be absolute.
// Built and run by scripts/fuzz.sh.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/dialogue_check.h"

namespace {

std::string g_private_dir;

void remove_private_dir()
{
    out_file_discard();
    std::error_code ec;
    if (!g_private_dir.empty()) std::filesystem::remove_all(g_private_dir, ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/drmpi_fuzz_XXXXXX";
    if (mkdtemp(templ.data()) == nullptr || chdir(templ.c_str()) != 0) {
        std::perror("dialogue_fuzz: private directory");
        std::abort();
    }
    g_private_dir = templ;
    std::atexit(remove_private_dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string problems = dialogue_check::check_input(input);
    if (!problems.empty()) {
        std::fprintf(stderr, "dialogue_fuzz: invariant violated\n%s", problems.c_str());
        std::abort();
    }
    return 0;
}
