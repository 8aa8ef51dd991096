// Runs drmpi's whole computation in this process for one request and prints
// where the time went, stage by stage, and how many products were checked.
// Usage: stage_bench BASE ALPHABET ID N (the four answers); the output file
// goes to the current directory. stage_bench_unchecked is the same without
// the product checks.
#include <cstdio>
#include <cstdlib>

#include "console/report.h"
#include "drm/driver.h"
#include "longarith/check.h"

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s BASE ALPHABET ID N\n", argv[0]);
        return 2;
    }
    FILE* in = std::tmpfile();
    FILE* con = std::tmpfile();
    if (in == nullptr || con == nullptr) return 1;
    std::fprintf(in, "%s %s %s %s\n", argv[1], argv[2], argv[3], argv[4]);
    std::rewind(in);
    const double start = clock_seconds();
    const int status = drm_run(in, con);
    const double total = clock_seconds() - start;
    if (status != 0) return status;

    const DrmStageTimes& s = g_stage_times;
    const double parts[] = {s.block_trees, s.folds, s.closing, s.report};
    const char* names[] = {"block trees", "folds", "closing formula", "report"};
    std::printf("%-16s %9s %7s\n", "stage", "seconds", "share");
    for (int i = 0; i < 4; ++i) std::printf("%-16s %9.3f %6.1f%%\n", names[i], parts[i], 100 * parts[i] / total);
    std::printf("%-16s %9.3f\n", "whole run", total);
    std::printf("products checked %ld, formed again %ld\n", g_check_counts.checked, g_check_counts.redone);
    return 0;
}
