// The program's working storage: static arrays of doubles, zero at start, sized
// once by the capacity ND and handed by address to the operations. (The
// products keep their spectra in storage of their own, see fmt.h.)
#pragma once

#include <bit>

#include "longarith/fft.h"

constexpr int ND = 270001;   // capacity in words

// The largest FMT size: the dialogue takes powers of two up to ND. A product
// of two numbers of that size is the longest transform, and the transform
// tables are sized by it.
constexpr int kMaxFmtSize = static_cast<int>(std::bit_floor(static_cast<unsigned>(ND)));
static_assert(kMaxFmtSize == kFftMaxLength, "the longest transform is the one a product of the largest FMT size needs");

extern double blk_p[ND];          // leaves, then P of a block; the closing formula's work
extern double blk_q[ND];          // leaves, then Q; the closing formula's numerator
extern double blk_t[ND];          // leaves, then T; the closing formula's denominator
extern double acc_sum[ND];        // D of the tail N / D
extern double scratch[4 * ND];    // product slots of the tree; the folds' products; Newton scratch
extern double tail[ND];           // N of the tail N / D; at the end Pi

// Residues (see check.h) of the runs of a block, by run index, for blk_p,
// blk_q and blk_t: set for the leaves, then for each merged run.
extern double run_residue[3][ND / 8 + 1];

// Prepares the pages behind the parts of the arrays above that a run of FMT
// size n uses (see pages.h); called once before the computation.
void drm_storage_prepare(int n);
