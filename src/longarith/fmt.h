// FMT multiplication: exact products of word vectors by a weighted complex FFT.
// A complex array of n entries is 2n doubles (re, im interleaved). Every product
// rounds its coefficients to integers and returns the largest rounding distance.
#pragma once

#include "longarith/longnum.h"

// out (2n + 1 doubles) = p * q as a LongNum of 2n words, stripped; p and q are
// read with n words and may be the same array. work: 6n doubles. out overlaps
// none of p, q, work. Returns the rounding error.
double ln_mul(const LongNum* p, const LongNum* q, LongNum* out, int n, double* work);

// out (2n words) = a * b, normalized, most significant word first; a and b are
// n-word vectors, only read, and may be the same. n is a power of two >= 2.
// work: 6n doubles. out overlaps none of a, b, work. Returns the rounding error.
double fmt_convolve(const double* a, const double* b, double* out, int n, double* work);

// Weighted transform of the n complex entries of x in place: entry k is weighted
// by exp(i pi (n-1-k) / (2n)) before the forward FFT, and by the conjugate after
// the inverse (direction 1). scratch: 4n doubles.
void fft_transform(double* x, int n, int direction, double* scratch);

// Unweighted FFT of x in place; the inverse (direction 1) divides by n.
// scratch: 4n doubles (table at its start, pass buffer 2n doubles further on).
void fft_core(double* x, int n, int direction, double* scratch);

// table[k] = (cos((m-1-k) phi), sin((m-1-k) phi)), phi = 2 pi / (2m), negated
// for the inverse; k = 0..m-1.
void fft_twiddles(int m, int direction, double* table);

// One radix-2 pass from x into y over n = 2 s g entries (distinct arrays).
void fft_pass(const double* x, double* y, int s, int g, const double* table);
