// The transform engine under the FMT products: forward and inverse transforms
// of every length, spectra that combine, operands longer than the transform,
// the choice of length; and the contract assertions that stop bad calls in
// debug builds.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "longarith/fft.h"
#include "longarith/linear.h"
#include "longarith/longnum.h"
#include "longarith/mpz_words.h"
#include "support/fixtures.h"

namespace {

constexpr double kLargestRadix = 456976.0;   // 26^4
constexpr int kLargestDefaultLog = 17;       // 2^18 is in fmt_large_test

// ------------------------------------------------------- transforms

using FmtTransforms = RadixTest;

// A spectrum inverted without a product is the vector times 1: the words come
// back in the lower half, the upper half is zero.
TEST_F(FmtTransforms, InverseOfAForwardTransformGivesBackTheWords)
{
    std::mt19937_64 rng(1618);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double radix : {kLargestRadix, 100000.0, 19683.0}) {
        g_radix = radix;
        std::uniform_real_distribution<double> dist(-radix / 2, radix / 2);
        for (int lg = 7; lg <= kLargestDefaultLog; ++lg) {
            const int n = 1 << lg;
            SCOPED_TRACE(testing::Message() << "R = " << radix << ", n = " << n);
            std::vector<double> a(n), spectrum(2 * n, nan), out(2 * n, nan);
            for (double& v : a) v = std::round(dist(rng));
            fft_forward(a.data(), n, spectrum.data(), n);
            const double err = fft_inverse(spectrum.data(), out.data(), 2 * n, n);
            EXPECT_LT(err, 1e-6);
            for (int k = 0; k < n; ++k) ASSERT_EQ(out[k], 0) << "word " << k;
            for (int k = 0; k < n; ++k) ASSERT_EQ(out[n + k], a[k]) << "word " << n + k;
        }
    }
}

// Spectra combine linearly: the sum of two products formed before one inverse
// equals the two products added word by word.
TEST_F(FmtTransforms, PointwiseSumIsTheSumOfTheProducts)
{
    std::mt19937_64 rng(2718);
    for (double radix : {kLargestRadix, 238328.0}) {
        g_radix = radix;
        for (int lg = 7; lg <= 12; ++lg) {
            const int n = 1 << lg;
            SCOPED_TRACE(testing::Message() << "R = " << radix << ", n = " << n);
            const std::vector<double> a = random_balanced(rng, n, radix), b = random_balanced(rng, n, radix);
            const std::vector<double> c = random_balanced(rng, n, radix), d = random_balanced(rng, n, radix);
            std::vector<double> sa(2 * n), sb(2 * n), sc(2 * n), sd(2 * n), out(2 * n);
            fft_forward(a.data(), n, sa.data(), n);
            fft_forward(b.data(), n, sb.data(), n);
            fft_forward(c.data(), n, sc.data(), n);
            fft_forward(d.data(), n, sd.data(), n);
            fft_pointwise(sa.data(), sb.data(), sa.data(), n);
            fft_pointwise_add(sc.data(), sd.data(), sa.data(), n);
            EXPECT_LT(fft_inverse(sa.data(), out.data(), 2 * n, n), 0.5);
            ln_normalize(out.data(), 2 * n);
            Mpz ab, cd, sum;
            mpz_mul(ab.get(), words_value(a, radix).get(), words_value(b, radix).get());
            mpz_mul(cd.get(), words_value(c, radix).get(), words_value(d, radix).get());
            mpz_add(sum.get(), ab.get(), cd.get());
            EXPECT_TRUE(words_value(out, radix) == sum);
            EXPECT_TRUE(balanced_words(out.data(), out.size(), radix));
        }
    }
}

// ------------------------------------------------------- the transform engine

// Operands of up to 2m words are read modulo x^(2m) + 1, at powers of two and
// at three times powers of two: the inverse gives
// the coefficients of the product with the top 2m wrapped onto the bottom,
// sign changed; and an inverse asked for fewer coefficients leaves the rest
// out, counting their distance from zero as error.
TEST(FftEngine, OperandsLongerThanTheTransformWrapAround)
{
    std::mt19937_64 rng(2025);
    std::uniform_int_distribution<long> word(-999, 999);
    for (int m : {kFftMinLength, 192, 256, 768, 3072}) {
        for (int la : {m + 1, 3 * m / 2, 2 * m}) {
            SCOPED_TRACE(testing::Message() << "m = " << m << ", " << la << " words");
            const int lb = 2 * m - 5;
            std::vector<double> a(la), b(lb), sa(2 * m), sb(2 * m), out(2 * m);
            for (double& v : a) v = static_cast<double>(word(rng));
            for (double& v : b) v = static_cast<double>(word(rng));
            fft_forward(a.data(), la, sa.data(), m);
            fft_forward(b.data(), lb, sb.data(), m);
            fft_pointwise(sa.data(), sb.data(), sa.data(), m);
            EXPECT_LT(fft_inverse(sa.data(), out.data(), 2 * m, m), 0.1);
            // c'_j = sum over i + l = j of a_i b_l, minus that over i + l = j + 2m;
            // a_i is the word of weight R^i, at a[la - 1 - i].
            std::vector<long long> want(2 * m, 0);
            for (int i = 0; i < la; ++i) {
                for (int l = 0; l < lb; ++l) {
                    const long long t = static_cast<long long>(a[la - 1 - i]) * static_cast<long long>(b[lb - 1 - l]);
                    if (i + l < 2 * m) want[i + l] += t;
                    else want[i + l - 2 * m] -= t;
                }
            }
            for (int j = 0; j < 2 * m; ++j) ASSERT_EQ(out[2 * m - 1 - j], static_cast<double>(want[j])) << j;
        }
    }
}

TEST(FftEngine, CoefficientsLeftOutCountByTheirDistanceFromZero)
{
    const int m = kFftMinLength;
    std::vector<double> a(m, 0.0), sa(2 * m), out(2 * m, -1.0);
    a[0] = 3;   // weight R^(m-1): the square has its only coefficient at 2m - 2
    fft_forward(a.data(), m, sa.data(), m);
    fft_pointwise(sa.data(), sa.data(), sa.data(), m);
    std::vector<double> all(2 * m);
    std::vector<double> copy = sa;
    EXPECT_LT(fft_inverse(copy.data(), all.data(), 2 * m, m), 1e-9);
    EXPECT_EQ(all[1], 9);
    // With room for 2m - 2 coefficients the 9 is left out: an error of 9.
    EXPECT_NEAR(fft_inverse(sa.data(), out.data(), 2 * m - 2, m), 9.0, 1e-9);
    for (int j = 0; j < 2 * m - 2; ++j) ASSERT_EQ(out[j], 0) << j;
    EXPECT_EQ(out[2 * m - 2], -1) << "nothing is written past count";
}

// The transform lengths: powers of two, and three quarters of one where that
// is long enough.
TEST(FftEngine, ShortestLengthThatHoldsTheProduct)
{
    struct Case {
        int count, m;
    } const cases[] = {{1, kFftMinLength}, {2 * kFftMinLength, kFftMinLength}, {257, 192}, {384, 192},
                       {385, 256}, {512, 256}, {513, 384}, {196608, 98304}, {196609, 131072},
                       {393216, 196608}, {393217, 262144}, {524288, 262144}};
    for (const Case& c : cases) EXPECT_EQ(fft_length(c.count), c.m) << c.count;
}

// A forward and an inverse transform of every length give the words back.
TEST(FftEngine, RoundTripAtEveryLength)
{
    std::mt19937_64 rng(77);
    std::uniform_int_distribution<long> word(-228488, 228488);
    for (int m = kFftMinLength; m <= (1 << 16); m *= 2) {
        for (int len : {m, 3 * m / 4}) {
            if (len < 192 && len != m) continue;
            SCOPED_TRACE(len);
            std::vector<double> a(len), spectrum(2 * len), out(2 * len);
            for (double& v : a) v = static_cast<double>(word(rng));
            fft_forward(a.data(), len, spectrum.data(), len);
            EXPECT_LT(fft_inverse(spectrum.data(), out.data(), 2 * len, len), 1e-6);
            for (int k = 0; k < len; ++k) ASSERT_EQ(out[k], 0) << k;
            for (int k = 0; k < len; ++k) ASSERT_EQ(out[len + k], a[k]) << len + k;
        }
    }
}

// ------------------------------------------------------- contracts

// The contract assertions are compiled into builds without NDEBUG, where a
// call that breaks one stops the program before it touches memory. A release
// build leaves them out, and the same calls would write out of bounds there,
// so they are not made.
TEST(FftContractsDeathTest, BadCallsStopInDebugBuilds)
{
#ifdef NDEBUG
    GTEST_SKIP() << "a build with NDEBUG has no contract assertions";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // 100 is not a transform length.
    std::vector<double> a(100, 1.0), spectrum(200);
    EXPECT_DEATH(fft_forward(a.data(), 100, spectrum.data(), 100), "fft_forward.*Assertion.*failed");
    // An inverse asked for more than the 2m coefficients a spectrum holds.
    const int m = kFftMinLength;
    std::vector<double> product(2 * m), out(2 * m + 1);
    EXPECT_DEATH(fft_inverse(product.data(), out.data(), 2 * m + 1, m), "fft_inverse.*Assertion.*failed");
    // ln_mul_int wants z and x distinct.
    std::vector<double> x{1, 3, 0, 0};
    EXPECT_DEATH(ln_mul_int(x.data(), 7, x.data(), 3), "ln_mul_int.*Assertion.*failed");
#endif
}

}  // namespace
