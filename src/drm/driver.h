// The DRM driver: plans the steps, folds the blocks into the tail from the last
// block to the first, applies the closing formula and reports.
#pragma once
#include <cstdio>

// Number of DRM steps for d * ne digits of base b with a series whose terms
// shrink by the factor convergence, in blocks of fmt_size / 8 terms.
int drm_step_count(int ne, int d, int b, double convergence, int fmt_size);

// Seconds spent in each stage of the last run, for the benchmark.
struct DrmStageTimes {
    double block_trees;      // leaves and product trees of all blocks
    double folds;            // the blocks folded into the tail, N / D = (T D + P N) / (Q D)
    double closing;          // square root and the one division
    double report;           // normalization and digits to the file
};
extern DrmStageTimes g_stage_times;

// One whole run: the dialogue on in and con, the computation, the report.
// The output file replaces the earlier one only when the run completes (or
// stops at the capacity); every other stop removes it. Returns the program's
// exit status: 0 when every digit reached the file and every console write
// succeeded, 1 otherwise.
int drm_run(FILE* in, FILE* con);
