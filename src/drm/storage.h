// The program's working storage: static arrays of doubles, zero at start, sized
// once by the capacity ND and handed by address to the operations.
#pragma once

constexpr int ND = 270001;   // capacity in words; the largest FMT size is 2^18

extern double fft_work[6 * ND];   // work area of every FMT product
extern double blk_p[ND];          // leaves, then P of a block; constants of the closing formula
extern double blk_q[ND];          // leaves, then Q; the numerator of the closing formula
extern double blk_t[ND];          // leaves, then T; the denominator of the closing formula
extern double acc_sum[ND];        // T + P * tail; the square root; the series sum
extern double scratch[4 * ND];    // product slots of the tree; P * tail; Newton scratch
extern double tail[ND];           // the running tail, at the end Pi

// Residues (see check.h) of the runs of a block, by run index, for blk_p,
// blk_q and blk_t: set for the leaves, then for each merged run.
extern double run_residue[3][ND / 8 + 1];

// Asks for huge pages behind the parts of the arrays above that a run of FMT
// size n uses; called once before the computation.
void drm_storage_prepare(int n);
