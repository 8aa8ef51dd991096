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

// Words of precision of the run: the ne printed words, the integer part and
// guard words, within the FMT size.
static int drm_precision(int ne, int fmt_size) { return imin2(ne + 8, fmt_size); }

// Terms the run sums: enough for p words of the radix at the series'
// convergence, and a few more, but not past the terms that the steps can take.
static int drm_term_count(int p, double convergence, int steps, int block_terms)
{
    const double needed = p * std::log(g_radix) / std::log(convergence);
    const long terms = static_cast<long>(std::ceil(needed)) + 4;
    const long most = static_cast<long>(steps) * block_terms;
    return static_cast<int>(terms < most ? terms : most);
}

// The running tail is kept as the fraction N / D: N in tail, D in acc_sum,
// p words each. A block with P, Q and T folds into it as
// (T + P N / D) / Q = (T D + P N) / (Q D), so that no step divides.

// The significant words of an integer held as a stripped LongNum: its exponent.
static int integer_words(const LongNum* z) { return static_cast<int>(z[0]); }

static double drm_fold(int p, bool first)
{
    LongNum* N = tail;
    LongNum* D = acc_sum;
    if (first) {
        // The last block alone: N / D = T / Q.
        ln_from_words(blk_t + 1, integer_words(blk_t), blk_t[0], N, p);
        ln_from_words(blk_q + 1, integer_words(blk_q), blk_q[0], D, p);
        return 0;
    }
    // P N must be added at the scale of T D: as integers, T D has the units
    // weight R^(eD - p), and so has P times N's first p - s words, where s is
    // how far N lies below D. Words of N below that are past the precision.
    const int s = static_cast<int>(D[0] - N[0]);
    const int n_words = p - s;
    FmtOperand t_op, d_op, p_op, n_op, q_op;
    fmt_operand_known(&t_op, blk_t + 1, integer_words(blk_t), run_residue[2][0]);
    fmt_operand_known(&p_op, blk_p + 1, integer_words(blk_p), run_residue[0][0]);
    fmt_operand_known(&q_op, blk_q + 1, integer_words(blk_q), run_residue[1][0]);
    fmt_operand(&d_op, D + 1, p);
    fmt_last_use(&t_op);
    fmt_last_use(&q_op);
    // With no word of N at that scale, the sum is T D alone.
    FmtOperand* pn = n_words >= 1 ? &p_op : nullptr;
    FmtOperand* nn = n_words >= 1 ? &n_op : nullptr;
    if (nn != nullptr) fmt_operand(nn, N + 1, n_words);
    double err = fmt_mul_add(&t_op, &d_op, pn, nn, scratch);
    int count = fmt_product_words(&t_op, &d_op, pn, nn);
    if (nn != nullptr) fmt_release(nn);
    fmt_release(&t_op);
    fmt_release(&p_op);
    ln_from_words(scratch, count, count + D[0] - p, N, p);
    err = dmax2(err, fmt_mul(&q_op, &d_op, scratch));
    count = fmt_product_words(&q_op, &d_op, nullptr, nullptr);
    fmt_release(&q_op);
    fmt_release(&d_op);
    ln_from_words(scratch, count, count + D[0] - p, D, p);
    return err;
}

// tail = Pi = c0 c1 sqrt(c2) / (c3 (c4 + c5 N / D))
//           = c0 c1 sqrt(c2) D / (c3 (c4 D + c5 N)), over p words.
static double drm_closing_formula(const ClosingConstants& c, int p)
{
    LongNum* N = tail;
    LongNum* D = acc_sum;
    ln_mul_int(D, c.const_term, blk_p, p);
    ln_mul_int(N, c.tail_factor, blk_t, p);
    ln_addsub(blk_p, blk_t, blk_q, p, +1);
    ln_mul_int(blk_q, c.den_factor, blk_t, p);   // the denominator, in blk_t
    double err = 0;
    if (c.sqrt_arg == 1) {
        words_copy(D, blk_q, p + 1);
    } else {
        err = ln_sqrt_int(c.sqrt_arg, blk_q, p, +1, scratch);
        err = dmax2(err, ln_mul_cut(blk_q, p, D, p, blk_q, p));
    }
    ln_mul_int(blk_q, c.num_factor, blk_p, p);
    ln_mul_int(blk_p, c.sqrt_mul, blk_q, p);     // the numerator, in blk_q
    return dmax2(err, ln_divide(blk_q, blk_t, tail, p, scratch));
}

// A product stayed wrong after it was formed again: nothing computed from it
// can be trusted, so the run stops and its file goes.
static int drm_stop_on_failed_check(FILE* con)
{
    g_check_failed = true;
    out_file_discard();
    fprintf(con, " ** Error Stop ** Product check failed \n");
    fflush(con);
    return 1;
}

// Times the stages for the benchmark: each lap adds the time since the last
// one to a stage of g_stage_times.
struct Stopwatch {
    double mark;
};

static void lap(Stopwatch* watch, double* stage)
{
    const double now = clock_seconds();
    *stage += now - watch->mark;
    watch->mark = now;
}

int drm_run(FILE* in, FILE* con)
{
    RunParams rp;
    const int status = run_dialogue(kRamanujanRow, ND, in, con, &rp);
    if (status != 0) return status;

    const int n = rp.fmt_size;
    const SeriesFormula& formula = kSeriesFormulas[rp.formula_index];
    const int steps = drm_step_count(rp.element_count, rp.digits_per_element, rp.base, formula.convergence, n);
    out_line(con, "  DRM Steps= %d,  FMT Size= %d \n", steps, n);
    drm_storage_prepare(n);
    fmt_prepare(2 * n);

    // The blocks from the last to the first, each folded into the tail:
    // N / D = (T D + P N) / (Q D). The series needs p words and this many
    // terms, shared evenly by the steps.
    const int p = drm_precision(rp.element_count, n);
    const int block_terms = (drm_term_count(p, formula.convergence, steps, n / 8) + steps - 1) / steps;
    const long t0 = clock_ms();
    g_stage_times = DrmStageTimes{};
    Stopwatch watch{clock_seconds()};
    double err = 0;
    for (int i = 1; i <= steps; ++i) {
        const long step_start = clock_ms();
        drm_k = static_cast<double>(steps - i) * block_terms + 1;
        err = dmax2(err, drm_block(rp.formula_index, n, block_terms));
        lap(&watch, &g_stage_times.block_trees);
        if (err != kCheckFailed) err = dmax2(err, drm_fold(p, i == 1));
        lap(&watch, &g_stage_times.folds);
        if (err == kCheckFailed) return drm_stop_on_failed_check(con);
        fprintf(con, "  DRM Step=%3d,  Time=%8.2f (s)\n", i, (clock_ms() - step_start) / 1000.0);
        fflush(con);
    }
    err = dmax2(err, drm_closing_formula(kClosingConstants[rp.formula_index], p));
    lap(&watch, &g_stage_times.closing);
    if (err == kCheckFailed) return drm_stop_on_failed_check(con);

    // The file takes the place of the earlier one only when all of it is written.
    bool written =
        report_result(tail, rp.element_count, rp.digits_per_element, rp.base, rp.digit_offset, t0, err, con);
    if (written) {
        written = out_file_commit();
    } else {
        out_file_discard();
    }
    lap(&watch, &g_stage_times.report);
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
