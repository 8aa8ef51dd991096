#include "drm/driver.h"

#include <cmath>

#include "console/dialogue.h"
#include "console/outfile.h"
#include "console/report.h"
#include "drm/block_tree.h"
#include "drm/series.h"
#include "drm/storage.h"
#include "longarith/check.h"
#include "longarith/fmt.h"
#include "longarith/linear.h"
#include "longarith/newton.h"

DrmStageTimes g_stage_times;

int drm_step_count(int ne, int d, int b, double convergence, int fmt_size)
{
    return static_cast<int>(((d * 8.0) * ne) * (std::log(static_cast<double>(b)) / std::log(convergence)) /
                                fmt_size +
                            1.0);
}

// tail = Pi from tail = U(1), the series after its first term, over n words.
static double drm_closing_formula(const ClosingConstants& c, int n)
{
    double e4 = 0;
    if (c.sqrt_arg == 1) {
        ln_set_int(1, acc_sum, n);
    } else {
        e4 = ln_sqrt_int(c.sqrt_arg, acc_sum, n, 1, scratch, fft_work);
    }
    ln_mul_int(acc_sum, c.num_factor, blk_p, n);
    ln_mul_int(blk_p, c.sqrt_mul, blk_q, n);
    ln_set_int(c.const_term, blk_p, n);
    ln_mul_int(tail, c.tail_factor, blk_t, n);
    ln_addsub(blk_p, blk_t, acc_sum, n, +1);
    ln_mul_int(acc_sum, c.den_factor, blk_t, n);
    const double e5 = ln_divide(blk_q, blk_t, tail, n, scratch, fft_work);
    return dmax2(e4, e5);
}

// A product stayed wrong after it was formed again: nothing computed from it
// can be trusted, so the run stops and its file goes.
static int drm_stop_on_failed_check(FILE* con)
{
    out_file_discard();
    fprintf(con, " ** Error Stop ** Product check failed \n");
    fflush(con);
    return 1;
}

int drm_run(FILE* in, FILE* con)
{
    RunParams rp;
    const int status = run_dialogue(3, ND, in, con, &rp);
    if (status != 0) return status;

    const int n = rp.fmt_size;
    drm_storage_prepare(n);
    const int steps = drm_step_count(rp.element_count, rp.digits_per_element, rp.base,
                                     kSeriesFormulas[rp.formula_index].convergence, n);
    fprintf(con, "  DRM Steps= %d,  FMT Size= %d \n", steps, n);
    fprintf(g_out_file, "  DRM Steps= %d,  FMT Size= %d \n", steps, n);

    const long t0 = clock_ms();
    g_stage_times = DrmStageTimes{};
    double mark = clock_seconds();
    // Adds the time since the last mark to a stage.
    auto lap = [&mark](double& stage) {
        const double now = clock_seconds();
        stage += now - mark;
        mark = now;
    };
    double err = 0;
    const int block_terms = n / 8;
    for (int i = 1; i <= steps; ++i) {
        drm_k = static_cast<double>(steps - i) * block_terms + 1;
        const long ts = clock_ms();
        const double e1 = drm_block(rp.formula_index, n);
        lap(g_stage_times.block_trees);
        double e2 = 0;
        if (i == 1) {
            // No tail yet: a zero placed wholly below the words of T.
            ln_set_int(0, scratch, n);
            scratch[0] = -n;
        } else {
            e2 = ln_mul(blk_p, tail, scratch, n, fft_work);
        }
        err = dmax3(err, e1, e2);
        ln_addsub(blk_t, scratch, acc_sum, n, +1);
        lap(g_stage_times.tail_products);
        const double e3 = ln_divide(acc_sum, blk_q, tail, n, scratch, fft_work);
        lap(g_stage_times.tail_divisions);
        err = dmax2(err, e3);
        if (g_check_failed) return drm_stop_on_failed_check(con);
        fprintf(con, "  DRM Step=%3d,  Time=%8.2f (s)\n", i, (clock_ms() - ts) / 1000.0);
        fflush(con);
        lap(g_stage_times.report);
    }
    err = dmax2(err, drm_closing_formula(kClosingConstants[rp.formula_index], n));
    lap(g_stage_times.closing);
    if (g_check_failed) return drm_stop_on_failed_check(con);

    // The file takes the place of the earlier one only when all of it is written.
    bool written =
        report_result(tail, rp.element_count, rp.digits_per_element, rp.base, rp.digit_offset, t0, err, con);
    if (written) {
        written = out_file_commit();
    } else {
        out_file_discard();
    }
    lap(g_stage_times.report);
    if (!written) {
        fprintf(con, " ** Error Stop ** Cannot write %s \n", g_out_name);
        return 1;
    }
    // The file is complete, but a console that could not be written (closed,
    // reader gone, disk full) has lost lines: no success then. There is no
    // console left to say so on.
    if (fflush(con) != 0 || ferror(con)) return 1;
    return 0;
}
