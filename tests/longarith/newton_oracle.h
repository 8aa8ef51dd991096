// Helpers shared by the tests of the Newton reciprocal, division and square
// root: exact values of long numbers through GMP and MPFR, random operands in
// the balanced word form, and the accuracy bounds those routines meet.
#pragma once

#include <gmp.h>
#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "longarith/longnum.h"

namespace newton_check {

// Working precision in bits that holds a long number of n words exactly, with
// room for the quotients and roots compared against it.
inline mpfr_prec_t precision_for(int n, double radix)
{
    return static_cast<mpfr_prec_t>((n + 8) * std::log2(radix)) + 256;
}

// out = the integer w[0] R^(count-1) + ... + w[count-1], for whole-number
// words of either sign; split in halves so that long numbers stay quick.
inline void words_to_mpz(mpz_t out, const double* w, int count, unsigned long radix)
{
    if (count <= 32) {
        mpz_set_ui(out, 0);
        mpz_t word;
        mpz_init(word);
        for (int j = 0; j < count; ++j) {
            mpz_mul_ui(out, out, radix);
            mpz_set_d(word, w[j]);
            mpz_add(out, out, word);
        }
        mpz_clear(word);
        return;
    }
    const int low_count = count / 2;
    mpz_t low, scale;
    mpz_inits(low, scale, nullptr);
    words_to_mpz(out, w, count - low_count, radix);
    words_to_mpz(low, w + count - low_count, low_count, radix);
    mpz_ui_pow_ui(scale, radix, static_cast<unsigned long>(low_count));
    mpz_mul(out, out, scale);
    mpz_add(out, out, low);
    mpz_clears(low, scale, nullptr);
}

// out *= R^k for an integer k of either sign (exact for k >= 0).
inline void scale_by_radix_power(mpfr_t out, double radix, long k)
{
    mpz_t p;
    mpz_init(p);
    mpz_ui_pow_ui(p, static_cast<unsigned long>(radix), static_cast<unsigned long>(std::labs(k)));
    if (k >= 0) mpfr_mul_z(out, out, p, MPFR_RNDN);
    else mpfr_div_z(out, out, p, MPFR_RNDN);
    mpz_clear(p);
}

// out = the value of the LongNum z of n words: sum z[j] R^(z[0] - j), j = 1..n.
// out must carry precision_for(n, R) bits or more.
inline void longnum_value(mpfr_t out, const double* z, int n, double radix)
{
    mpz_t words;
    mpz_init(words);
    words_to_mpz(words, z + 1, n, static_cast<unsigned long>(radix));
    mpfr_set_z(out, words, MPFR_RNDN);
    mpz_clear(words);
    scale_by_radix_power(out, radix, static_cast<long>(z[0]) - n);
}

// |a - b| in units of R^(e - n), the place of the last word of an n-word
// long number with exponent e.
inline double units_of_last_word(mpfr_t a, mpfr_t b, long e, int n, double radix)
{
    mpfr_t d;
    mpfr_init2(d, std::max(mpfr_get_prec(a), mpfr_get_prec(b)));
    mpfr_sub(d, a, b, MPFR_RNDN);
    mpfr_abs(d, d, MPFR_RNDN);
    scale_by_radix_power(d, radix, n - e);
    const double r = mpfr_get_d(d, MPFR_RNDN);
    mpfr_clear(d);
    return r;
}

// A LongNum of n words with balanced words in [-R/2, R/2] (either sign,
// the top one nonzero) and an exponent in -3..3.
inline std::vector<double> random_longnum(int n, double radix, std::mt19937_64& gen)
{
    const long h = static_cast<long>(radix) / 2;
    std::uniform_int_distribution<long> word(-h, h), exponent(-3, 3);
    std::vector<double> x(n + 1);
    x[0] = static_cast<double>(exponent(gen));
    for (int j = 1; j <= n; ++j) x[j] = static_cast<double>(word(gen));
    while (x[1] == 0) x[1] = static_cast<double>(word(gen));
    return x;
}

// The form every result has: a nonzero top word and balanced words below it.
inline testing::AssertionResult is_normal_longnum(const std::vector<double>& z, int n, double radix)
{
    if (z[1] == 0) return testing::AssertionFailure() << "top word is 0";
    for (int j = 2; j <= n; ++j) {
        if (std::fabs(z[j]) > radix / 2 || z[j] != std::trunc(z[j]))
            return testing::AssertionFailure() << "word " << j << " is " << z[j];
    }
    return testing::AssertionSuccess();
}

// The bounds the operations meet, in units of the last word of the result.
// Each takes one Newton step from a result of about half the words, so its
// error is the square of that one's, far below a unit, plus what the products
// cut to n words and the last correction leave: a few units of the last word.
// Measured over many operands of every radix and length (random, divisors
// with top word 1 to 7 or near 2R, dividends with top words up to 3R): 1.00
// for reciprocals of random divisors, 3.41 when the divisor's top word is 1
// (the reciprocal's top word then nears 2R), 3.78 to 5.02 for quotients, 1.00
// for inverse roots and 3.00 for roots (the inverse root times m, moved down
// a word). A step that lost a word would be off by R units or more.
constexpr double kReciprocalUnits = 2;
constexpr double kReciprocalTopWordOneUnits = 5;
constexpr double kQuotientUnits = 8;
constexpr double kInverseRootUnits = 2;
constexpr double kRootUnits = 4;

}  // namespace newton_check
