#include "drm/storage.h"

double fft_work[6 * ND];
double blk_p[ND];
double blk_q[ND];
double blk_t[ND];
double acc_sum[ND];
double scratch[4 * ND];
double tail[ND];
