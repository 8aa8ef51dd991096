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

// Sets the radix and the balanced carry mode for one test; restores both after.
class RadixScope {
public:
    explicit RadixScope(double radix) : saved_radix_(g_radix), saved_mode_(g_carry_mode)
    {
        g_radix = radix;
        g_carry_mode = -1;
    }
    ~RadixScope()
    {
        g_radix = saved_radix_;
        g_carry_mode = saved_mode_;
    }
    RadixScope(const RadixScope&) = delete;
    RadixScope& operator=(const RadixScope&) = delete;

private:
    double saved_radix_;
    int saved_mode_;
};

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

// The largest |y - 1/x| that ln_reciprocal leaves, in units of the last word
// of y (R^(e-n)); y1 is the top word of y.
//
// The last iteration adds the correction y(1 - xy) to y, and the words of the
// correction below word n of y are cut off. When |y1| <= R/2 the leading word
// of that correction is a carry of its product or a balanced word, at most R/2,
// so the cut part stays below R/2 (1/R + 1/R^2 + ...) = R/(2(R-1)) units.
// With n = 4 the iterate that enters the two full-length iterations was formed
// with the divisor cut to two words (relative error up to 1/(2|x1|R)); squared
// twice that leaves up to 1/(16|x1|^5) units, at most 1/512 since |y1| <= R/2
// means |x1| >= 2. Measured: 0.50000064 (n >= 8), 0.5008 (n = 4, |x1| = 2).
//
// When |y1| > R/2 (the divisor's top word is 1, 2 or 3, and |y1| reaches 2R
// when the word after a top word 1 is near -R/2) the leading word of the
// correction, a carry of products with y1, can exceed R/2 and be cut whole.
// Measured over 20000 divisors per radix and length: up to 1.19 |y1|/R units
// at n = 4, 1.12 at n = 8 and at most 1.03 from n = 16 on.
inline double reciprocal_bound(double radix, int n, double y1)
{
    if (std::fabs(y1) <= radix / 2) return radix / (2 * (radix - 1)) + (n == 4 ? 1.0 / 512 : 0.0);
    return 1.25 * std::fabs(y1) / radix;
}

// The largest |y - 1/sqrt(m)| that ln_sqrt_int leaves with flag < 0, in units
// of the last word of y. The correction y(1 - m y^2)/2 is halved before it is
// added: a correction whose leading word is +-1 is moved one word down by the
// halving and its new leading word reaches (R + R/2)/2 = 3R/4, which is cut
// whole when it falls just below word n. So the cut part stays below
// (3R/4)/(R-1) units. Measured: 0.750000 at n = 2 (m = 144, R = 3^11), 0.7498
// at n = 4, at most 0.52 from n = 8 on.
inline double inverse_sqrt_bound(double radix) { return 0.75 * radix / (radix - 1); }

// The largest |y - sqrt(m)| with flag >= 0: y is m times the inverse root,
// moved down one word (m y1 >= R for every m >= 2), and the last product is
// dropped but for its carry. The inverse root's error times m, in the new
// units (R times larger), plus less than one unit for the dropped product.
// Measured: (units - 1) / (m/R) at most 0.74.
inline double sqrt_bound(double radix, int m) { return 1 + m * inverse_sqrt_bound(radix) / radix; }

}  // namespace newton_check
