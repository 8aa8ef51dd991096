// FMT multiplication: fmt_convolve, the product operands and ln_mul against
// exact GMP products, and the honesty of the rounding error they return. The
// transforms under them are tested in fft_test.
#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "longarith/fmt.h"
#include "longarith/longnum.h"
#include "longarith/mpz_words.h"
#include "support/fixtures.h"

namespace {

// Radices of real runs: 26^4 (the largest), 10^5, 3^11, 62^3, 27^3.
constexpr double kRadices[] = {456976.0, 100000.0, 177147.0, 238328.0, 19683.0};
constexpr double kLargestRadix = 456976.0;
constexpr int kLargestDefaultLog = 17;   // 2^18 is in fmt_large_test

struct Product {
    std::vector<double> out;
    double err;
};

// a * b through fmt_convolve with a fresh output.
Product convolve(const std::vector<double>& a, const std::vector<double>& b)
{
    const int n = static_cast<int>(a.size());
    Product p{std::vector<double>(2 * n), 0};
    p.err = fmt_convolve(a.data(), b.data(), p.out.data(), n);
    return p;
}

Mpz exact_product(const std::vector<double>& a, const std::vector<double>& b, double radix)
{
    Mpz x = words_value(a, radix), y = words_value(b, radix), z;
    mpz_mul(z.get(), x.get(), y.get());
    return z;
}

// The 2n words are the exact product, balanced, and the first one (which
// takes only the final carry) still fits the balanced range.
testing::AssertionResult is_product(const std::vector<double>& out, const std::vector<double>& a,
                                    const std::vector<double>& b, double radix)
{
    if (!(words_value(out, radix) == exact_product(a, b, radix)))
        return testing::AssertionFailure() << "the words are not the product";
    testing::AssertionResult balanced = balanced_words(out.data(), out.size(), radix);
    if (!balanced) return balanced;
    if (std::fabs(out[0]) > std::floor(radix / 2))
        return testing::AssertionFailure() << "first word " << out[0] << " does not fit";
    return testing::AssertionSuccess();
}

int repetitions(int n)
{
    if (n <= 64) return 20;
    if (n <= 1024) return 6;
    if (n <= 16384) return 2;
    return 1;
}

std::vector<double> constant_words(int n, double w) { return std::vector<double>(n, w); }

std::vector<double> alternating_words(int n, double w)
{
    std::vector<double> v(n);
    for (int i = 0; i < n; ++i) v[i] = i % 2 ? -w : w;
    return v;
}

// ---------------------------------------------------------------- worked cases

using FmtWorked = RadixTest;

TEST_F(FmtWorked, TwoWordProduct)
{
    use_radix(100000.0);
    const std::vector<double> a{0, 3}, b{0, 4};
    const Product p = convolve(a, b);
    EXPECT_EQ(p.out, (std::vector<double>{0, 0, 0, 12}));
    EXPECT_LT(p.err, 0.5);
}

TEST_F(FmtWorked, NegativeWordsComeOutExact)
{
    use_radix(100000.0);
    const std::vector<double> a{-2, 5, -7, 1}, b{3, -4, 0, 2};
    const Product p = convolve(a, b);
    EXPECT_EQ(p.out, (std::vector<double>{0, -6, 23, -41, 27, 6, -14, 2}));
    EXPECT_LT(p.err, 0.5);
}

TEST_F(FmtWorked, OneTimesOneIsStrippedToExponentOne)
{
    use_radix(100000.0);
    const std::vector<double> one{1, 1, 0};
    std::vector<double> out(5, -9);
    ln_mul(one.data(), one.data(), out.data(), 2);
    EXPECT_EQ(out, (std::vector<double>{1, 1, 0, 0, 0}));

    const std::vector<double> other = one;
    std::vector<double> out2(5, -9);
    ln_mul(one.data(), other.data(), out2.data(), 2);
    EXPECT_EQ(out2, out);
}

// ------------------------------------------------- random products against GMP

class FmtRandom : public RadixTestWithParam<double> {};

TEST_P(FmtRandom, ExactNormalizedProductAtEveryLength)
{
    const double radix = GetParam();
    use_radix(radix);
    std::mt19937_64 rng(static_cast<unsigned long>(radix) * 7919 + 1);
    for (int lg = 1; lg <= kLargestDefaultLog; ++lg) {
        const int n = 1 << lg;
        double worst = 0;
        for (int r = 0; r < repetitions(n); ++r) {
            SCOPED_TRACE(testing::Message() << "R = " << radix << ", n = " << n << ", repetition " << r);
            const std::vector<double> a = random_balanced(rng, n, radix);
            const std::vector<double> b = random_balanced(rng, n, radix);
            const std::vector<double> a0 = a, b0 = b;
            const Product p = convolve(a, b);
            ASSERT_TRUE(is_product(p.out, a, b, radix));
            EXPECT_LT(p.err, 0.5);
            EXPECT_EQ(a, a0);
            EXPECT_EQ(b, b0);
            worst = std::max(worst, p.err);
        }
        if (n >= 1024) std::printf("R = %6.0f  n = %6d  largest rounding error %.3g\n", radix, n, worst);
    }
}

TEST_P(FmtRandom, SquaringThroughOneArrayEqualsProductOfCopies)
{
    const double radix = GetParam();
    use_radix(radix);
    std::mt19937_64 rng(static_cast<unsigned long>(radix) * 31 + 5);
    for (int n : {2, 8, 64, 1024, 16384, 1 << kLargestDefaultLog}) {
        SCOPED_TRACE(testing::Message() << "R = " << radix << ", n = " << n);
        const std::vector<double> a = random_balanced(rng, n, radix);
        const std::vector<double> copy = a;
        std::vector<double> square(2 * n);
        const double err = fmt_convolve(a.data(), a.data(), square.data(), n);
        const Product two = convolve(a, copy);
        EXPECT_EQ(square, two.out);
        EXPECT_LT(err, 0.5);
        EXPECT_EQ(a, copy);
        EXPECT_TRUE(is_product(square, a, a, radix));
    }
}

TEST_P(FmtRandom, LeftoversInSpectraAndOutputAreIgnored)
{
    const double radix = GetParam();
    use_radix(radix);
    std::mt19937_64 rng(static_cast<unsigned long>(radix) + 99);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Lengths longest first, so shorter products find the remains of longer
    // ones in the spectrum storage; a NaN left in the output would show.
    for (int n : {4096, 512, 16, 2}) {
        SCOPED_TRACE(testing::Message() << "R = " << radix << ", n = " << n);
        const std::vector<double> a = random_balanced(rng, n, radix);
        const std::vector<double> b = random_balanced(rng, n, radix);
        std::vector<double> out(2 * n, nan);
        const double err = fmt_convolve(a.data(), b.data(), out.data(), n);
        EXPECT_EQ(out, convolve(a, b).out);
        EXPECT_LT(err, 0.5);
    }
}

INSTANTIATE_TEST_SUITE_P(Radices, FmtRandom, testing::ValuesIn(kRadices),
                         [](const testing::TestParamInfo<double>& info) {
                             std::string name = "R";
                             name += std::to_string(static_cast<long>(info.param));
                             return name;
                         });

// In the non-negative carry mode the product comes out with words in [0, R-1].
using FmtNonNegative = RadixTest;

TEST_F(FmtNonNegative, NonNegativeWordsGiveNonNegativeProduct)
{
    const double radix = 100000.0;
    use_radix(radix, 1);
    std::mt19937_64 rng(4242);
    std::uniform_int_distribution<long> dist(0, static_cast<long>(radix) - 1);
    for (int n = 2; n <= 1024; n *= 2) {
        SCOPED_TRACE(testing::Message() << "n = " << n);
        std::vector<double> a(n), b(n);
        for (int i = 0; i < n; ++i) {
            a[i] = static_cast<double>(dist(rng));
            b[i] = static_cast<double>(dist(rng));
        }
        const Product p = convolve(a, b);
        EXPECT_TRUE(words_value(p.out, radix) == exact_product(a, b, radix));
        for (int m = 0; m < 2 * n; ++m) {
            ASSERT_GE(p.out[m], 0) << "word " << m;
            ASSERT_LE(p.out[m], radix - 1) << "word " << m;
        }
        EXPECT_LT(p.err, 0.5);
    }
}

// ------------------------------------------------------------- rounding error

using FmtRoundingError = RadixTest;

double random_error(std::mt19937_64& rng, int n, double radix, int products)
{
    double worst = 0;
    for (int i = 0; i < products; ++i)
        worst = std::max(worst, convolve(random_balanced(rng, n, radix), random_balanced(rng, n, radix)).err);
    return worst;
}

TEST_F(FmtRoundingError, GrowsWithLengthAndWithRadix)
{
    std::mt19937_64 rng(777);
    use_radix(kLargestRadix);
    // The shortest transform length; below it products are exact and report 0.
    const int shortest = 2 * kFmtSchoolbookMax;
    EXPECT_EQ(random_error(rng, kFmtSchoolbookMax, kLargestRadix, 3), 0);
    const double short_err = random_error(rng, shortest, kLargestRadix, 3);
    const double long_err = random_error(rng, 1 << kLargestDefaultLog, kLargestRadix, 1);
    std::printf("R = 456976: n = %d error %.3g, n = 131072 error %.3g\n", shortest, short_err, long_err);
    EXPECT_GT(short_err, 0);
    EXPECT_GT(long_err, short_err);
    EXPECT_LT(long_err, 0.5);

    const int n = 16384;
    const double large_r = random_error(rng, n, kLargestRadix, 2);
    use_radix(19683.0);
    const double small_r = random_error(rng, n, 19683.0, 2);
    std::printf("n = 16384: R = 456976 error %.3g, R = 19683 error %.3g\n", large_r, small_r);
    EXPECT_GT(large_r, small_r);
}

// Words all at R/2, or alternating between +R/2 and -R/2, make every product
// coefficient as large as it can be: the error must show it, well above what
// random words of the same length give, and the product must stay exact.
TEST_F(FmtRoundingError, ExtremeWordsRaiseItWellAboveRandomOnes)
{
    struct Case {
        double radix;
        int n;
    };
    std::mt19937_64 rng(31337);
    for (const Case c : {Case{456976.0, 1024}, Case{456976.0, 4096}, Case{238328.0, 8192}, Case{100000.0, 65536},
                         Case{19683.0, 65536}}) {
        SCOPED_TRACE(testing::Message() << "R = " << c.radix << ", n = " << c.n);
        use_radix(c.radix);
        const double h = std::floor(c.radix / 2);
        const double random = random_error(rng, c.n, c.radix, 3);
        const std::vector<double> flat = constant_words(c.n, h);
        const std::vector<double> alternating = alternating_words(c.n, h);
        const Product flat_sq = convolve(flat, flat);
        const Product alt_sq = convolve(alternating, alternating);
        std::printf("R = %6.0f  n = %6d  random %.3g  all R/2 %.3g  alternating %.3g\n", c.radix, c.n, random,
                    flat_sq.err, alt_sq.err);
        EXPECT_GT(flat_sq.err, 4 * random);
        EXPECT_GT(alt_sq.err, 4 * random);
        EXPECT_LT(flat_sq.err, 0.5);
        EXPECT_LT(alt_sq.err, 0.5);
        EXPECT_TRUE(is_product(flat_sq.out, flat, flat, c.radix));
        EXPECT_TRUE(is_product(alt_sq.out, alternating, alternating, c.radix));
    }
}

// Pushed further, extreme words overwhelm double precision. Whatever the
// length, a product that came out wrong must not claim an error below 0.5.
TEST_F(FmtRoundingError, WrongProductsNeverReportLessThanHalf)
{
    for (double radix : {456976.0, 238328.0}) {
        use_radix(radix);
        const double h = std::floor(radix / 2);
        for (int lg = 8; lg <= kLargestDefaultLog; ++lg) {
            const int n = 1 << lg;
            SCOPED_TRACE(testing::Message() << "R = " << radix << ", n = " << n);
            for (const std::vector<double>& a : {constant_words(n, h), alternating_words(n, h)}) {
                const Product p = convolve(a, a);
                const bool exact = words_value(p.out, radix) == exact_product(a, a, radix);
                if (lg % 3 == 2 || !exact)
                    std::printf("R = %6.0f  n = %6d  %s  error %.3g  %s\n", radix, n,
                                a[1] < 0 ? "alternating" : "all R/2    ", p.err, exact ? "exact" : "WRONG");
                EXPECT_TRUE(exact || p.err >= 0.5) << "error " << p.err;
            }
        }
    }
}

// ---------------------------------------------------------------- ln_mul

using LnMul = RadixTest;

// Value of a LongNum of n words as words_value(z + 1) * R^shift, shift = e - n.
struct Scaled {
    Mpz mantissa;
    long shift;
};

Scaled longnum_value(const std::vector<double>& z, double radix)
{
    const long n = static_cast<long>(z.size()) - 1;
    return {words_value(z.data() + 1, n, radix), static_cast<long>(z[0]) - n};
}

testing::AssertionResult same_value(const Scaled& x, const Scaled& y, double radix)
{
    const long low = std::min(x.shift, y.shift);
    Mpz a = x.mantissa, b = y.mantissa, p;
    mpz_ui_pow_ui(p.get(), static_cast<unsigned long>(radix), x.shift - low);
    mpz_mul(a.get(), a.get(), p.get());
    mpz_ui_pow_ui(p.get(), static_cast<unsigned long>(radix), y.shift - low);
    mpz_mul(b.get(), b.get(), p.get());
    if (a == b) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "values differ";
}

TEST_F(LnMul, RandomOperandsWithAnyExponent)
{
    std::mt19937_64 rng(2718);
    for (double radix : {kLargestRadix, 100000.0, 19683.0}) {
        use_radix(radix);
        for (int n : {2, 4, 32, 512, 8192}) {
            for (double ep : {-7.0, 0.0, 1.0, 3.0, static_cast<double>(n)}) {
                const double eq = ep == 1.0 ? -2.0 : 5.0;
                SCOPED_TRACE(testing::Message() << "R = " << radix << ", n = " << n << ", exponents " << ep << ", " << eq);
                std::vector<double> p = random_balanced(rng, n + 1, radix), q = random_balanced(rng, n + 1, radix);
                p[0] = ep;
                q[0] = eq;
                if (p[1] == 0) p[1] = 1;
                if (q[1] == 0) q[1] = -1;
                std::vector<double> out(2 * n + 1);
                const double err = ln_mul(p.data(), q.data(), out.data(), n);
                EXPECT_LT(err, 0.5);

                Scaled expected = longnum_value(p, radix);
                const Scaled qv = longnum_value(q, radix);
                mpz_mul(expected.mantissa.get(), expected.mantissa.get(), qv.mantissa.get());
                expected.shift += qv.shift;
                EXPECT_TRUE(same_value(longnum_value(out, radix), expected, radix));
                EXPECT_NE(out[1], 0) << "not stripped";
                EXPECT_TRUE(balanced_words(out.data() + 1, 2 * n, radix));
                // Nonzero top words: at most two leading zero words of the product.
                EXPECT_GE(out[0], ep + eq - 2);
                EXPECT_LE(out[0], ep + eq);
            }
        }
    }
}

// The exponents add; leading zero words of the product are stripped off.
TEST_F(LnMul, ExponentsAddLessTheLeadingZeroWords)
{
    use_radix(100000.0);
    struct Case {
        std::vector<double> p, q;   // exponent word, then 4 words
        std::vector<double> out;    // exponent word, then 8 words
    };
    const Case cases[] = {
        // (50000 R^2) * (50000 R^2) = 25000 R^5: the carry fills the first word.
        {{3, 50000, 0, 0, 0}, {3, 50000, 0, 0, 0}, {6, 25000, 0, 0, 0, 0, 0, 0, 0}},
        // 2 * 3 with both units in the top word: one leading zero word.
        {{1, 2, 0, 0, 0}, {1, 3, 0, 0, 0}, {1, 6, 0, 0, 0, 0, 0, 0, 0}},
        // Units in the last words: the product 6 sits in the last word, seven zeros above it.
        {{4, 0, 0, 0, 2}, {4, 0, 0, 0, 3}, {1, 6, 0, 0, 0, 0, 0, 0, 0}},
        // Fractions: 0.5 * (-0.25 / R) = -0.125 / R with zero and negative exponents.
        {{0, 50000, 0, 0, 0}, {-1, -25000, 0, 0, 0}, {-1, -12500, 0, 0, 0, 0, 0, 0, 0}},
        // (R + 1)(R - 1) = R^2 - 1 = (1, 0, -1) in balanced words.
        {{2, 1, 1, 0, 0}, {2, 1, -1, 0, 0}, {3, 1, 0, -1, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "p top " << c.p[1] << ", q top " << c.q[1]);
        std::vector<double> out(9, 7);
        const double err = ln_mul(c.p.data(), c.q.data(), out.data(), 4);
        EXPECT_EQ(out, c.out);
        EXPECT_LT(err, 0.5);
    }
}

TEST_F(LnMul, SquaringAndZero)
{
    const double radix = 238328.0;
    use_radix(radix);
    std::mt19937_64 rng(11);
    const int n = 256;
    std::vector<double> p = random_balanced(rng, n + 1, radix);
    p[0] = 3;
    const std::vector<double> copy = p;
    std::vector<double> square(2 * n + 1), product(2 * n + 1);
    ln_mul(p.data(), p.data(), square.data(), n);
    ln_mul(p.data(), copy.data(), product.data(), n);
    EXPECT_EQ(square, product);

    // Zero has no fixed exponent after a strip; its words are all zero.
    std::vector<double> zero(n + 1, 0.0);
    zero[0] = 2;
    ln_mul(zero.data(), p.data(), product.data(), n);
    for (int j = 1; j <= 2 * n; ++j) ASSERT_EQ(product[j], 0) << "word " << j;
}

// ------------------------------------------------------- product operands

// Operands of any two lengths: the product has la + lb words and is exact.
// The pairs cross the schoolbook limit, the transform lengths, and operands
// longer than the transform (a product of 100 and 3 words uses length 64).
using FmtOperands = RadixTest;

TEST_F(FmtOperands, ProductsOfAnyTwoLengthsAreExact)
{
    const int lengths[] = {1, 2, 7, 32, 33, 63, 64, 65, 100, 127, 128, 129, 500, 1024, 3000};
    std::mt19937_64 rng(4242);
    for (double radix : {kLargestRadix, 100000.0, 19683.0}) {
        use_radix(radix);
        for (int la : lengths) {
            for (int lb : lengths) {
                SCOPED_TRACE(testing::Message() << "R = " << radix << ", " << la << " x " << lb << " words");
                const std::vector<double> a = random_balanced(rng, la, radix), b = random_balanced(rng, lb, radix);
                std::vector<double> out(la + lb, std::numeric_limits<double>::quiet_NaN());
                FmtOperand x, y;
                fmt_operand(&x, a.data(), la);
                fmt_operand(&y, b.data(), lb);
                EXPECT_LT(fmt_mul(&x, &y, out.data()), 0.1);
                fmt_release(&x);
                fmt_release(&y);
                ASSERT_TRUE(words_value(out, radix) == exact_product(a, b, radix));
                ASSERT_TRUE(balanced_words(out.data(), out.size(), radix));
            }
        }
    }
}

// a b + c d with four different lengths, the sum as long as the longer product.
TEST_F(FmtOperands, SumOfTwoProductsOfDifferentLengths)
{
    struct Case {
        int la, lb, lc, ld;
    } const cases[] = {{3, 5, 2, 2}, {40, 10, 20, 30}, {100, 300, 250, 100}, {1000, 1000, 999, 7}, {64, 64, 64, 64}};
    std::mt19937_64 rng(99);
    use_radix(238328.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.la << " " << c.lb << " " << c.lc << " " << c.ld);
        const std::vector<double> a = random_balanced(rng, c.la, g_radix), b = random_balanced(rng, c.lb, g_radix);
        const std::vector<double> d = random_balanced(rng, c.ld, g_radix), e = random_balanced(rng, c.lc, g_radix);
        const int count = std::max(c.la + c.lb, c.lc + c.ld);
        std::vector<double> out(count);
        FmtOperand x, y, z, w;
        fmt_operand(&x, a.data(), c.la);
        fmt_operand(&y, b.data(), c.lb);
        fmt_operand(&z, e.data(), c.lc);
        fmt_operand(&w, d.data(), c.ld);
        EXPECT_LT(fmt_mul_add(&x, &y, &z, &w, out.data()), 0.1);
        for (FmtOperand* op : {&x, &y, &z, &w}) fmt_release(op);
        Mpz want = exact_product(a, b, g_radix), cd = exact_product(e, d, g_radix);
        mpz_add(want.get(), want.get(), cd.get());
        EXPECT_TRUE(words_value(out, g_radix) == want);
        EXPECT_TRUE(balanced_words(out.data(), out.size(), g_radix));
    }
}

// An operand serves several products with its spectrum kept, also at
// different transform lengths one after another, and squares itself.
TEST_F(FmtOperands, AnOperandServesSeveralProducts)
{
    std::mt19937_64 rng(7);
    use_radix(100000.0);
    const std::vector<double> a = random_balanced(rng, 700, g_radix);
    FmtOperand x;
    fmt_operand(&x, a.data(), 700);
    for (int lb : {700, 100, 2000, 700, 5}) {
        SCOPED_TRACE(lb);
        const std::vector<double> b = random_balanced(rng, lb, g_radix);
        std::vector<double> out(700 + lb);
        FmtOperand y;
        fmt_operand(&y, b.data(), lb);
        fmt_mul(&x, &y, out.data());
        fmt_release(&y);
        EXPECT_TRUE(words_value(out, g_radix) == exact_product(a, b, g_radix));
    }
    std::vector<double> square(1400);
    fmt_mul(&x, &x, square.data());
    EXPECT_TRUE(words_value(square, g_radix) == exact_product(a, a, g_radix));
    fmt_release(&x);
}

// ln_mul_cut keeps the leading words of the product: exact where the
// product is short enough, cut toward zero by less than a unit of the last
// word kept otherwise; out may be an operand.
TEST_F(FmtOperands, CutProductKeepsTheLeadingWords)
{
    std::mt19937_64 rng(31);
    use_radix(177147.0);
    const double R = g_radix;
    for (int n : {3, 40, 129, 1000}) {
        for (int keep : {n, 2 * n, n / 2 + 1}) {
            SCOPED_TRACE(testing::Message() << n << " words, " << keep << " kept");
            std::vector<double> x(2 * n + 2), y(2 * n + 2), z(2 * n + 2);
            const std::vector<double> a = random_balanced(rng, n, R), b = random_balanced(rng, n, R);
            x[0] = 2;
            y[0] = -1;
            std::copy(a.begin(), a.end(), x.begin() + 1);
            std::copy(b.begin(), b.end(), y.begin() + 1);
            if (x[1] == 0) x[1] = 1;
            if (y[1] == 0) y[1] = -1;
            ln_mul_cut(x.data(), n, y.data(), n, z.data(), keep);
            // z = x y as words: z[1..keep] times R^(z[0] - keep) against the
            // product x y = X Y R^(x0 + y0 - 2n).
            Mpz X = words_value(x.data() + 1, n, R), Y = words_value(y.data() + 1, n, R), XY, Z, scale, diff;
            mpz_mul(XY.get(), X.get(), Y.get());
            Z = words_value(z.data() + 1, keep, R);
            const long shift = static_cast<long>(z[0]) - keep - (static_cast<long>(x[0] + y[0]) - 2 * n);
            ASSERT_GE(shift, 0);
            mpz_ui_pow_ui(scale.get(), static_cast<unsigned long>(R), static_cast<unsigned long>(shift));
            mpz_mul(Z.get(), Z.get(), scale.get());
            mpz_sub(diff.get(), XY.get(), Z.get());
            mpz_abs(diff.get(), diff.get());
            EXPECT_LT(mpz_cmp(diff.get(), scale.get()), 0) << "off by a unit of the last word or more";
            EXPECT_NE(z[1], 0);
            if (keep == 2 * n) {
                EXPECT_EQ(mpz_sgn(diff.get()), 0);
            }
            ln_mul_cut(x.data(), n, y.data(), n, x.data(), keep);   // out is x
            for (int j = 0; j <= keep; ++j) ASSERT_EQ(x[j], z[j]) << "word " << j;
        }
    }
}

}  // namespace
