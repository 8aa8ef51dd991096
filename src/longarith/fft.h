// The transform engine of the long products: a weighted complex FFT of
// length m (a power of two or three times one) on split arrays.
//
// An operand of len words (most significant first, units last) is read as the
// polynomial A(x) = sum a_j x^j, a_j the word of weight R^j. The forward
// transform evaluates A at the m roots of x^m = i, so that the inverse
// transform of a pointwise product of two spectra gives c_j + i c_(j+m) at
// index j: the 2m coefficients of the product modulo x^(2m) + 1. For two
// operands of at most m words that is the whole product; operands of up to 2m
// words are taken modulo x^(2m) + 1, which wraps the top of the product onto
// its bottom with the sign changed.
//
// The lengths are the powers of two from kFftMinLength to kFftMaxLength and
// three times the powers of two from 64 to kFftMaxLength / 4.
//
// A spectrum is 2m doubles: m real parts, then m imaginary parts, in the
// transform's own order, which only the pointwise products and the inverse
// read. Only spectra of the same length combine.
#pragma once

constexpr int kFftMinLength = 128;       // shortest transform
constexpr int kFftMaxLength = 1 << 18;   // longest transform

// The shortest transform length m with 2m >= count (count <= 2 kFftMaxLength).
int fft_length(int count);

// Makes ready for the transform lengths up to m: the circles of roots the
// tables are made from, once, and for a short run the tables' pages mapped at
// once. The transforms make the tables of each length when they first need
// them, and a circle again when a length is longer than it serves.
void fft_prepare(int m);

// spectrum (2m doubles) = the forward transform of a[0..len-1], len <= 2m,
// read modulo x^(2m) + 1 (zero-extended at the top when len < 2m). a is only
// read and does not overlap spectrum.
void fft_forward(const double* a, int len, double* spectrum, int m);

// z = x * y, entry by entry; z may be x or y.
void fft_pointwise(const double* x, const double* y, double* z, int m);

// z = z + x * y, entry by entry; z may be x or y.
void fft_pointwise_add(const double* x, const double* y, double* z, int m);

// out[0..count-1] = the count lowest coefficients of the product whose
// spectrum is given, rounded to whole numbers (halves up), most significant
// first: out[count - 1 - j] = c_j. count <= 2m. spectrum is consumed; out does
// not overlap it. Returns the rounding error: the largest distance of a
// coefficient from its whole number, the coefficients left out counting by
// their distance from zero.
double fft_inverse(double* spectrum, double* out, int count, int m);
