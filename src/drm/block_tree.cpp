#include "drm/block_tree.h"

#include "drm/series.h"
#include "drm/storage.h"
#include "longarith/fmt.h"
#include "longarith/linear.h"

double drm_merge_level(int n, int pairs)
{
    double* slot_a = scratch + 1;
    double* slot_b = scratch + 1 + 2 * n;
    double err = 0;
    for (int i = 0, pos = 1; i < pairs; ++i, pos += 2 * n) {
        const int r = pos + n;
        // T first: it reads Pl and Qr, which the P and Q products overwrite.
        const double e1 = fmt_convolve(blk_p + pos, blk_t + r, slot_a, n, fft_work);
        const double e2 = fmt_convolve(blk_q + r, blk_t + pos, slot_b, n, fft_work);
        err = dmax3(err, e1, e2);
        words_addsub(slot_a, slot_b, blk_t + pos, 2 * n, +1);

        const double e3 = fmt_convolve(blk_p + pos, blk_p + r, slot_a, n, fft_work);
        words_copy(slot_a, blk_p + pos, 2 * n);
        const double e4 = fmt_convolve(blk_q + pos, blk_q + r, slot_a, n, fft_work);
        words_copy(slot_a, blk_q + pos, 2 * n);
        err = dmax3(err, e3, e4);
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
