// FMT multiplication: exact products of word vectors by a weighted complex FFT.
//
// A product of two n-word vectors is evaluated at the n roots of x^n = i: each
// operand is weighted by exp(i pi k / (2n)) at position k and transformed by a
// complex FFT of length n, the spectra are multiplied, and the inverse gives
// c_k + i c_(k+n) at position k, so that one transform per operand yields the
// full 2n-word product. Every product rounds its coefficients to integers
// (halves up) and returns the largest rounding distance as its rounding error.
//
// A spectrum is 2n doubles: n real parts, then n imaginary parts, in the
// transform's own order; only spectra of the same length may be combined.
// Lengths up to kFmtSchoolbookMax are multiplied exactly by the schoolbook
// method instead (rounding error 0).
//
// Every product is checked: its residue against the residues of its operands
// (see check.h). A product that fails the check, or whose rounding error
// reaches kFmtRedoError, is formed again by an exact route (the words of one
// operand split in halves, so that the coefficients stay far below the
// precision) and checked again; if it still fails, g_check_failed is set.
#pragma once

#include "longarith/longnum.h"

constexpr int kFmtMaxSize = 1 << 18;        // longest product operand
constexpr int kFmtSchoolbookMax = 32;       // n at or below: schoolbook, no transform
constexpr double kFmtRedoError = 0.4;       // a rounding error from here on forms the product again

// out (2n + 1 doubles) = p * q as a LongNum of 2n words, stripped, checked;
// p and q are read with n words and may be the same array. work: 6n doubles.
// out overlaps none of p, q, work. Returns the rounding error.
double ln_mul(const LongNum* p, const LongNum* q, LongNum* out, int n, double* work);

// out (2n + 1 doubles) = p * q as a LongNum of 2n words, stripped, checked,
// with q's spectrum given in q_spec (fmt_forward of its first n words); p may
// be q (a square). n > kFmtSchoolbookMax. work: 6n doubles, disjoint from out;
// q_spec may lie in work from 2n on: it is rebuilt if the product had to be
// formed again. Returns the rounding error. Lets one operand serve several
// products.
double ln_mul_spectrum(const LongNum* p, const LongNum* q, double* q_spec, LongNum* out, int n, double* work);

// out (2n words) = a * b, balanced-normalized, most significant word first,
// checked; a and b are n-word vectors, only read, and may be the same; n is a
// power of two >= 2. work: 6n doubles. out overlaps none of a, b, work.
// Returns the rounding error.
double fmt_convolve(const double* a, const double* b, double* out, int n, double* work);

// spectrum (2n doubles) = the weighted forward transform of the n-word vector a.
// n is a power of two > kFmtSchoolbookMax; a and spectrum are disjoint.
void fmt_forward(const double* a, double* spectrum, int n);

// z = x * y, entry by entry; z may be x or y.
void fmt_pointwise(const double* x, const double* y, double* z, int n);

// z = z + x * y, entry by entry; z may be x or y.
void fmt_pointwise_add(const double* x, const double* y, double* z, int n);

// out (2n words) = the product whose spectrum is given, rounded to integers
// and balanced-normalized, unchecked; spectrum is consumed. out and spectrum are
// disjoint. Returns the rounding error.
double fmt_inverse(double* spectrum, double* out, int n);

// out (2n words) = a * b (+ c * d when c is not null), exactly, for n-word
// vectors small enough that no coefficient reaches 2^53; normalized,
// unchecked. out overlaps none of the inputs.
void fmt_schoolbook(const double* a, const double* b, const double* c, const double* d, double* out, int n);

// Residue (see check.h) that the product a * b + c * d of n-word vectors must
// have; c and d null for a plain product.
double fmt_expected_residue(const double* a, const double* b, const double* c, const double* d, int n);

// Checks out (2n words) = a * b + c * d (c and d null for a plain product),
// the product just formed with rounding error err, against the residue it
// must have, and forms it again when needed, using work (6n doubles, disjoint
// from the operands and out). Returns the rounding error of the product
// finally in out; *redone (unless null) tells whether it was formed again.
double fmt_check(double* out, int n, const double* a, const double* b, const double* c, const double* d,
                 double expected, double err, double* work, bool* redone);

// fmt_inverse of the spectrum of a * b (+ c * d), followed by fmt_check.
double fmt_product(double* spectrum, double* out, int n, const double* a, const double* b, const double* c,
                   const double* d, double expected, double* work);
