// Long-number format, carry normalization and small helpers.
//
// A word is a whole number held in a double, in the radix R = g_radix.
// A word vector is n words, most significant first; the last is the units word.
// A long number of n words is an array of n + 1 doubles: z[0] is the exponent e,
// z[1..n] the words, and its value is sum z[j] * R^(e - j). Parameters typed
// LongNum* carry that exponent word; plain double* parameters are word vectors.
// The word count is never stored: every routine takes it beside the array.
#pragma once

#include <cstdint>

using LongNum = double;

extern double g_radix;     // R; 100000 until the dialogue sets base^d
extern int g_carry_mode;   // < 0: balanced words; >= 0: words in [0, R-1]

// Carries v[0..n-1] in place, last word toward the first, into the form that
// g_carry_mode selects. v[0] absorbs the final carry and is never reduced.
void ln_normalize(double* v, int n);

// Moves the words of z up over its leading zero words, zero-fills the vacated
// tail and lowers the exponent by their count (by n when all words are zero).
void ln_strip(LongNum* z, int n);

// z[1..n] hold an integer whose units word is z[n]: sets the exponent to n and strips.
void ln_from_integer_words(LongNum* z, int n);

// z = the count words at v, the first of them of weight R^(exponent - 1),
// without their leading zero words and cut to n words (zero-filled when
// fewer). v is only read and does not overlap z.
void ln_from_words(const double* v, int count, double exponent, LongNum* z, int n);

// z = a: exponent 1, top word a (stored whole, even when a >= R), the rest zero.
void ln_set_int(int a, LongNum* z, int n);

// dst[i] = src[i] in ascending order; src and dst are the same array or disjoint.
inline void words_copy(const double* src, double* dst, int n)
{
    for (int i = 0; i < n; ++i) dst[i] = src[i];
}

// dst[i] = value for i = 0..n-1.
inline void words_fill(int value, double* dst, int n)
{
    const double v = value;
    for (int i = 0; i < n; ++i) dst[i] = v;
}

// Whether a[0..na-1] and b[0..nb-1] share no word: for the contract
// assertions (assert: on in the debug and sanitized builds).
inline bool words_apart(const double* a, long na, const double* b, long nb)
{
    const auto x = reinterpret_cast<std::uintptr_t>(a), y = reinterpret_cast<std::uintptr_t>(b);
    return x + na * sizeof(double) <= y || y + nb * sizeof(double) <= x;
}

int ipow(int a, int n);                        // a^n by repeated products; 1 for n <= 0
inline double dmax2(double a, double b) { return b > a ? b : a; }                // b when b > a, else a
inline double dmax3(double a, double b, double c) { return dmax2(dmax2(a, b), c); }
inline int imin2(int a, int b) { return a > b ? b : a; }                        // b when a > b, else a
int ilog2(int n);                              // trunc(ln(n + 0.5) / ln 2): floor(log2 n) for n >= 1
