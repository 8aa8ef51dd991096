#include "drm/block_tree.h"

#include "drm/series.h"
#include "drm/storage.h"
#include "longarith/fmt.h"
#include "longarith/linear.h"

// Runs are short at the lower levels: there the products are formed exactly
// by the schoolbook method, T's two products summed as they are formed.
// Longer runs are transformed once each; the three products P = Pl Pr,
// Q = Ql Qr and T = Pl Tr + Qr Tl are formed from their spectra, T's sum
// before its single inverse transform.
double drm_merge_level(int n, int pairs)
{
    double err = 0;
    for (int i = 0, pos = 1; i < pairs; ++i, pos += 2 * n) {
        const int r = pos + n;
        if (n <= kFmtSchoolbookMax) {
            double* slot = scratch + 1;
            fmt_schoolbook(blk_p + pos, blk_t + r, blk_q + r, blk_t + pos, slot, n);
            words_copy(slot, blk_t + pos, 2 * n);
            fmt_schoolbook(blk_p + pos, blk_p + r, nullptr, nullptr, slot, n);
            words_copy(slot, blk_p + pos, 2 * n);
            fmt_schoolbook(blk_q + pos, blk_q + r, nullptr, nullptr, slot, n);
            words_copy(slot, blk_q + pos, 2 * n);
            continue;
        }
        // Four spectra at a time, each run transformed once: Pl Tr, then
        // T = Pl Tr + Qr Tl, then P = Pl Pr, then Q = Ql Qr.
        double* s1 = fft_work;
        double* s2 = s1 + 2 * n;
        double* s3 = s2 + 2 * n;
        double* s4 = s3 + 2 * n;
        fmt_forward(blk_p + pos, s1, n);
        fmt_forward(blk_t + r, s2, n);
        fmt_pointwise(s1, s2, s2, n);
        fmt_forward(blk_q + r, s3, n);
        fmt_forward(blk_t + pos, s4, n);
        fmt_pointwise_add(s3, s4, s2, n);
        err = dmax2(err, fmt_inverse(s2, blk_t + pos, n));
        fmt_forward(blk_p + r, s4, n);
        fmt_pointwise(s1, s4, s4, n);
        err = dmax2(err, fmt_inverse(s4, blk_p + pos, n));
        fmt_forward(blk_q + pos, s1, n);
        fmt_pointwise(s1, s3, s1, n);
        err = dmax2(err, fmt_inverse(s1, blk_q + pos, n));
    }
    return err;
}

double drm_block(int formula_index, int fmt_size)
{
    drm_leaves(formula_index, fmt_size);

    int pairs = fmt_size / 16;
    const int levels = ilog2(2 * pairs);
    double err = 0;
    for (int level = 0, n = kLeafWords; level < levels; ++level, n *= 2, pairs /= 2)
        err = dmax2(err, drm_merge_level(n, pairs));

    ln_from_integer_words(blk_p, fmt_size);
    ln_from_integer_words(blk_q, fmt_size);
    ln_from_integer_words(blk_t, fmt_size);
    return err;
}
