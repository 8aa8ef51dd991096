#include "drm/storage.h"

#include "longarith/pages.h"

alignas(64) double blk_p[ND];
alignas(64) double blk_q[ND];
alignas(64) double blk_t[ND];
alignas(64) double acc_sum[ND];
alignas(64) double scratch[4 * ND];
alignas(64) double tail[ND];
double run_residue[3][ND / 8 + 1];

// Bytes of an array of words that a run of FMT size n may use: count words
// for each of n, plus the exponent word, within the array.
static unsigned long used(unsigned long array_bytes, int count, int n)
{
    const unsigned long bytes = (static_cast<unsigned long>(count) * n + 2) * sizeof(double);
    return bytes < array_bytes ? bytes : array_bytes;
}

void drm_storage_prepare(int n)
{
    pages_prepare(blk_p, used(sizeof blk_p, 1, n));
    pages_prepare(blk_q, used(sizeof blk_q, 1, n));
    pages_prepare(blk_t, used(sizeof blk_t, 1, n));
    pages_prepare(acc_sum, used(sizeof acc_sum, 1, n));
    pages_prepare(scratch, used(sizeof scratch, 4, n));
    pages_prepare(tail, used(sizeof tail, 1, n));
}
