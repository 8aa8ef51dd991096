#include "drm/block_tree.h"

#include "drm/series.h"
#include "drm/storage.h"
#include "longarith/check.h"
#include "longarith/fmt.h"
#include "longarith/linear.h"

// Runs are short at the lower levels: there the products are formed exactly
// by the schoolbook method, T's two products summed as they are formed.
// Longer runs are transformed once each; the three products P = Pl Pr,
// Q = Ql Qr and T = Pl Tr + Qr Tl are formed from their spectra, T's sum
// before its single inverse transform.
// Test builds can corrupt an exact product here, as they can every checked one.
static inline void exact_product_formed([[maybe_unused]] double* product, [[maybe_unused]] int len)
{
#ifdef DRMPI_FAULT_INJECTION
    if (g_fault_hook != nullptr) g_fault_hook(product, len);
#endif
}

double drm_merge_level(int n, int pairs)
{
    // Each product goes to the slot, is checked there against its operands,
    // which are still in place, and only then replaces them. Spectra: Pl at
    // s1 and Qr at s3 stay live while the others come and go; a product
    // formed again uses the area from 4n on.
    double* slot = scratch + 1;
    double* s1 = fft_work;
    double* s3 = s1 + 2 * n;
    double* s2 = s3 + 2 * n;
    double* s4 = s2 + 2 * n;
    double* redo = fft_work + 4 * n;
    double* res_p = run_residue[0];
    double* res_q = run_residue[1];
    double* res_t = run_residue[2];
    double err = 0;
    for (int i = 0, pos = 1; i < pairs; ++i, pos += 2 * n) {
        const int r = pos + n;
        const double *pl = blk_p + pos, *pr = blk_p + r, *ql = blk_q + pos, *qr = blk_q + r;
        const double *tl = blk_t + pos, *tr = blk_t + r;
        // The residues the merged runs must have; they become the runs' own.
        const double want_t = check_addmod(check_mulmod(res_p[2 * i], res_t[2 * i + 1]),
                                           check_mulmod(res_q[2 * i + 1], res_t[2 * i]));
        const double want_p = check_mulmod(res_p[2 * i], res_p[2 * i + 1]);
        const double want_q = check_mulmod(res_q[2 * i], res_q[2 * i + 1]);
        res_t[i] = want_t;
        res_p[i] = want_p;
        res_q[i] = want_q;
        if (n <= kFmtSchoolbookMax) {
            // Exact products: verified with the whole block, see drm_block.
            fmt_schoolbook(pl, tr, qr, tl, slot, n);
            exact_product_formed(slot, 2 * n);
            words_copy(slot, blk_t + pos, 2 * n);
            fmt_schoolbook(pl, pr, nullptr, nullptr, slot, n);
            exact_product_formed(slot, 2 * n);
            words_copy(slot, blk_p + pos, 2 * n);
            fmt_schoolbook(ql, qr, nullptr, nullptr, slot, n);
            exact_product_formed(slot, 2 * n);
            words_copy(slot, blk_q + pos, 2 * n);
            continue;
        }
        fmt_forward(pl, s1, n);
        fmt_forward(tr, s2, n);
        fmt_pointwise(s1, s2, s2, n);
        fmt_forward(qr, s3, n);
        fmt_forward(tl, s4, n);
        fmt_pointwise_add(s3, s4, s2, n);
        err = dmax2(err, fmt_product(s2, slot, n, pl, tr, qr, tl, want_t, redo));
        words_copy(slot, blk_t + pos, 2 * n);
        fmt_forward(pr, s4, n);
        fmt_pointwise(s1, s4, s4, n);
        err = dmax2(err, fmt_product(s4, slot, n, pl, pr, nullptr, nullptr, want_p, redo));
        words_copy(slot, blk_p + pos, 2 * n);
        fmt_forward(ql, s1, n);
        fmt_pointwise(s1, s3, s1, n);
        err = dmax2(err, fmt_product(s1, slot, n, ql, qr, nullptr, nullptr, want_q, redo));
        words_copy(slot, blk_q + pos, 2 * n);
    }
    return err;
}

// The leaves and the levels of the tree, leaving P, Q and T as integers in
// words 1..fmt_size and their residues, as the merges predicted them, in
// run_residue[][0].
static double drm_block_tree(int formula_index, int fmt_size)
{
    drm_leaves(formula_index, fmt_size);
    int pairs = fmt_size / 16;
    const int levels = ilog2(2 * pairs);
    double err = 0;
    for (int level = 0, n = kLeafWords; level < levels; ++level, n *= 2, pairs /= 2)
        err = dmax2(err, drm_merge_level(n, pairs));
    return err;
}

// The product-transform merges are checked one by one; the exact schoolbook
// merges of the lower levels are verified together here, by comparing the
// residues of P, Q and T with those predicted from the leaves. A block that
// fails (here, or in a transform product, which a wrong exact product below
// it also makes fail) is computed once more, so that a fault that does not
// come back is mended; a second failure leaves g_check_failed set.
double drm_block(int formula_index, int fmt_size)
{
    const double k0 = drm_k;
    double err = 0;
    for (int attempt = 1;; ++attempt) {
        drm_k = k0;
        g_check_failed = false;
        err = drm_block_tree(formula_index, fmt_size);
#ifdef DRMPI_UNCHECKED
        break;
#endif
        ++g_check_counts.checked;
        if (!g_check_failed && check_residue(blk_p + 1, fmt_size) == run_residue[0][0] &&
            check_residue(blk_q + 1, fmt_size) == run_residue[1][0] &&
            check_residue(blk_t + 1, fmt_size) == run_residue[2][0])
            break;
        if (attempt == 2) {
            g_check_failed = true;
            break;
        }
        ++g_check_counts.redone;
    }
    ln_from_integer_words(blk_p, fmt_size);
    ln_from_integer_words(blk_q, fmt_size);
    ln_from_integer_words(blk_t, fmt_size);
    return err;
}
