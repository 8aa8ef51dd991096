#include "drm/block_tree.h"

#include "drm/series.h"
#include "drm/storage.h"
#include "longarith/check.h"
#include "longarith/fmt.h"
#include "longarith/linear.h"

// Each run holds its integer right-aligned under leading zero words, and only
// its significant words enter the products, which are sized by them: exact
// schoolbook products for the short runs of the lower levels (checked with the
// whole block, see drm_block), transforms once each for the longer ones.
// The significant words of the n-word run at v: all but its leading zero
// words, and at least one.
static int significant_words(const double* v, int n)
{
    int lead = 0;
    while (lead < n - 1 && v[lead] == 0) ++lead;
    return n - lead;
}

// A product operand over the significant words of the n-word run at v.
static void run_operand(FmtOperand* op, const double* v, int n, double residue)
{
    const int len = significant_words(v, n);
    fmt_operand_known(op, v + n - len, len, residue);
}

// Writes the product of count words at product as the 2n-word run at run:
// right-aligned, zeros in front.
static void place_run(const double* product, int count, double* run, int n)
{
    words_fill(0, run, 2 * n - count);
    words_copy(product, run + 2 * n - count, count);
}

static double merge_pair(int n, int i, int pos)
{
    double* res_p = run_residue[0];
    double* res_q = run_residue[1];
    double* res_t = run_residue[2];
    const int r = pos + n;
    // The residues the merged runs must have; they become the runs' own.
    const double want_t = check_addmod(check_mulmod(res_p[2 * i], res_t[2 * i + 1]),
                                       check_mulmod(res_q[2 * i + 1], res_t[2 * i]));
    const double want_p = check_mulmod(res_p[2 * i], res_p[2 * i + 1]);
    const double want_q = check_mulmod(res_q[2 * i], res_q[2 * i + 1]);

    // Each product goes to scratch, is checked there against its operands,
    // which are still in place, and only then replaces two of them: T those
    // of T, P those of P, Q those of Q, none of which a later one reads.
    FmtOperand pl, pr, ql, qr, tl, tr;
    run_operand(&pl, blk_p + pos, n, res_p[2 * i]);
    run_operand(&pr, blk_p + r, n, res_p[2 * i + 1]);
    run_operand(&ql, blk_q + pos, n, res_q[2 * i]);
    run_operand(&qr, blk_q + r, n, res_q[2 * i + 1]);
    run_operand(&tl, blk_t + pos, n, res_t[2 * i]);
    run_operand(&tr, blk_t + r, n, res_t[2 * i + 1]);
    // Tr, Pr and Ql enter one product each: it is summed where their spectra were.
    fmt_last_use(&tr);
    fmt_last_use(&pr);
    fmt_last_use(&ql);
    const double e_t = fmt_mul_add_verified_later(&pl, &tr, &qr, &tl, scratch);
    place_run(scratch, fmt_product_words(&pl, &tr, &qr, &tl), blk_t + pos, n);
    fmt_release(&tl);
    fmt_release(&tr);
    const double e_p = fmt_mul_add_verified_later(&pl, &pr, nullptr, nullptr, scratch);
    place_run(scratch, fmt_product_words(&pl, &pr, nullptr, nullptr), blk_p + pos, n);
    fmt_release(&pl);
    fmt_release(&pr);
    const double e_q = fmt_mul_add_verified_later(&ql, &qr, nullptr, nullptr, scratch);
    place_run(scratch, fmt_product_words(&ql, &qr, nullptr, nullptr), blk_q + pos, n);
    fmt_release(&ql);
    fmt_release(&qr);
    res_t[i] = want_t;
    res_p[i] = want_p;
    res_q[i] = want_q;
    return dmax3(e_t, e_p, e_q);
}

// A last run without a partner moves into the place of the merged run.
static void move_run(int n, int i, int pos)
{
    double* arrays[] = {blk_p, blk_q, blk_t};
    for (int k = 0; k < 3; ++k) {
        double* a = arrays[k] + pos;
        for (int j = n - 1; j >= 0; --j) a[n + j] = a[j];
        words_fill(0, a, n);
        run_residue[k][i] = run_residue[k][2 * i];
    }
}

double drm_merge_level(int n, int runs)
{
    double err = 0;
    for (int i = 0, pos = 1; 2 * i < runs; ++i, pos += 2 * n) {
        if (2 * i + 1 < runs) {
            err = dmax2(err, merge_pair(n, i, pos));
        } else {
            move_run(n, i, pos);
        }
    }
    return err;
}

// The leaves and the levels of the tree, leaving P, Q and T as integers in
// words 1..n of a run of n words, returned, and their residues, as the
// merges predicted them, in run_residue[][0].
static double drm_block_tree(int formula_index, int terms, int* run_words)
{
    drm_leaves(formula_index, terms);
    double err = 0;
    int n = kLeafWords;
    for (int runs = terms; runs > 1; runs = (runs + 1) / 2, n *= 2) err = dmax2(err, drm_merge_level(n, runs));
    *run_words = n;
    return err;
}

// The transform products of the merges are checked one by one, the exact
// ones of the lower levels together here, by comparing the residues of P, Q
// and T with those predicted from the leaves. A block that fails (here, or in
// a transform product, which a wrong exact product below it also makes fail)
// is computed once more, so that a fault that does not come back is mended; a
// second failure is reported as the rounding error kCheckFailed.
double drm_block(int formula_index, int fmt_size, int terms)
{
    const double k0 = drm_k;
    double err = 0;
    int n = 0;
    for (int attempt = 1;; ++attempt) {
        drm_k = k0;
        err = drm_block_tree(formula_index, terms, &n);
#ifdef DRMPI_UNCHECKED
        break;
#endif
        ++g_check_counts.checked;
        if (err != kCheckFailed && check_residue(blk_p + 1, n) == run_residue[0][0] &&
            check_residue(blk_q + 1, n) == run_residue[1][0] && check_residue(blk_t + 1, n) == run_residue[2][0])
            break;
        if (attempt == 2) {
            err = kCheckFailed;
            break;
        }
        ++g_check_counts.redone;
    }
    double* const arrays[] = {blk_p, blk_q, blk_t};
    for (double* a : arrays) {
        words_fill(0, a + n + 1, fmt_size - n);
        ln_from_integer_words(a, n);
    }
    return err;
}
