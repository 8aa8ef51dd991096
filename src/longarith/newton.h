// Newton reciprocal, division and square root of a small integer. Each
// computes its result with about half the words first (recursively), then
// takes one Newton step that doubles them; the quotient comes from a
// reciprocal of half the length (Karp and Markstein). t is a scratch area;
// each returns the largest rounding error of its products and overwrites t.
// Results are cut to n words, and the last word may be off by a few units.
#pragma once

#include "longarith/longnum.h"

// y = 1/x with n words (n >= 2), x read with n words,
// nonzero top word. x is only read. t: 2n + 4 doubles.
double ln_reciprocal(const LongNum* x, LongNum* y, int n, double* t);

// out = a/b with n words (n >= 2), a and b read with n words; both are only
// read and differ from out. t: 4n + 8 doubles.
double ln_divide(const LongNum* a, const LongNum* b, LongNum* out, int n, double* t);

// y = 1/sqrt(m) (flag < 0) or sqrt(m) (flag >= 0) with n words (n >= 2), for
// an integer m >= 2. t: 2n + 4 doubles.
double ln_sqrt_int(int m, LongNum* y, int n, int flag, double* t);
