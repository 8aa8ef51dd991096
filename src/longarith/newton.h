// Newton reciprocal, division and square root at a working length that doubles
// from 2 words up to n. t is a scratch area of 4n + 2 doubles (two LongNums of
// up to 2n words); work is the 6n-double area of the products. Each returns the
// largest rounding error of its products and overwrites t and work.
#pragma once

#include "longarith/longnum.h"

// y = 1/x with n words. x (nonzero top word) is only read; x, y, t distinct.
double ln_reciprocal(const LongNum* x, LongNum* y, int n, LongNum* t, double* work);

// out = p/q with n words. p, q only read; out differs from both.
double ln_divide(const LongNum* p, const LongNum* q, LongNum* out, int n, LongNum* t, double* work);

// y = 1/sqrt(m) (flag < 0) or sqrt(m) (flag >= 0) with n words, for an integer m >= 2.
double ln_sqrt_int(int m, LongNum* y, int n, int flag, LongNum* t, double* work);

// The operations the computation uses: each Newton step works at the
// precision it can deliver, which doubles from step to step, and the
// quotient is formed from a reciprocal of half the length (Karp and
// Markstein). t is a scratch area of 4n + 8 doubles.

// out = a/b with n words (n >= 2), a and b read with n words; out differs
// from both. The last word may be off by a few units.
double ln_quotient(const LongNum* a, const LongNum* b, LongNum* out, int n, double* t);

// y = 1/sqrt(m) with n words (y holds n + 2 doubles, n >= 2), for an integer
// m >= 2. The last word may be off by a few units.
double ln_inv_sqrt(int m, LongNum* y, int n, double* t);
