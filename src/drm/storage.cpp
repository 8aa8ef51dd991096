#include "drm/storage.h"

#include "longarith/pages.h"

alignas(kHugePageBytes) double fft_work[6 * ND];
alignas(kHugePageBytes) double blk_p[ND];
alignas(kHugePageBytes) double blk_q[ND];
alignas(kHugePageBytes) double blk_t[ND];
alignas(kHugePageBytes) double acc_sum[ND];
alignas(kHugePageBytes) double scratch[4 * ND];
alignas(kHugePageBytes) double tail[ND];
double run_residue[3][ND / 8 + 1];

void drm_storage_prepare()
{
    pages_advise_huge(fft_work, sizeof fft_work);
    pages_advise_huge(blk_p, sizeof blk_p);
    pages_advise_huge(blk_q, sizeof blk_q);
    pages_advise_huge(blk_t, sizeof blk_t);
    pages_advise_huge(acc_sum, sizeof acc_sum);
    pages_advise_huge(scratch, sizeof scratch);
    pages_advise_huge(tail, sizeof tail);
}
