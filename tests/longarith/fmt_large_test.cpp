// FMT multiplication at the largest length the program uses, 2^18 words (the
// FMT size of the longest runs), in the largest radix 26^4: products against
// GMP, squaring, ln_mul, and the transform's round trip.
#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "longarith/fmt.h"
#include "longarith/longnum.h"
#include "longarith/mpz_words.h"
#include "support/fixtures.h"

namespace {

constexpr int kN = 1 << 18;
constexpr double kRadix = 456976.0;

class FmtLargest : public RadixTest {
protected:
    void SetUp() override { use_radix(kRadix); }

    std::mt19937_64 rng_{262144};
};

TEST_F(FmtLargest, RandomProductsAreExact)
{
    std::vector<double> out(2 * kN);
    double worst = 0;
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(testing::Message() << "product " << r);
        const std::vector<double> a = random_balanced(rng_, kN, kRadix);
        const std::vector<double> b = random_balanced(rng_, kN, kRadix);
        const double err = fmt_convolve(a.data(), b.data(), out.data(), kN);
        Mpz x = words_value(a, kRadix), y = words_value(b, kRadix), z;
        mpz_mul(z.get(), x.get(), y.get());
        EXPECT_TRUE(words_value(out, kRadix) == z);
        EXPECT_TRUE(balanced_words(out.data(), out.size(), kRadix));
        EXPECT_LT(err, 0.5);
        worst = std::max(worst, err);
    }
    std::printf("n = %d, R = %.0f: largest rounding error %.3g\n", kN, kRadix, worst);
}

TEST_F(FmtLargest, SquaringThroughOneArrayEqualsProductOfCopies)
{
    const std::vector<double> a = random_balanced(rng_, kN, kRadix);
    const std::vector<double> copy = a;
    std::vector<double> square(2 * kN), product(2 * kN);
    const double err = fmt_convolve(a.data(), a.data(), square.data(), kN);
    fmt_convolve(a.data(), copy.data(), product.data(), kN);
    EXPECT_EQ(square, product);
    EXPECT_LT(err, 0.5);
    Mpz x = words_value(a, kRadix), z;
    mpz_mul(z.get(), x.get(), x.get());
    EXPECT_TRUE(words_value(square, kRadix) == z);
}

// The driver's products: LongNums of the FMT size, a full tail times a block P.
TEST_F(FmtLargest, LnMulOfFullLengthNumbers)
{
    std::vector<double> p = random_balanced(rng_, kN + 1, kRadix), q = random_balanced(rng_, kN + 1, kRadix);
    p[0] = 1;
    q[0] = 40000;
    if (p[1] == 0) p[1] = 3;
    if (q[1] == 0) q[1] = -3;
    std::vector<double> out(2 * kN + 1);
    const double err = ln_mul(p.data(), q.data(), out.data(), kN);
    EXPECT_LT(err, 0.5);
    EXPECT_NE(out[1], 0);
    // Both operands have kN words after their exponent, so the product has 2 kN
    // words after its own, however many were stripped: shift the mantissa back.
    const long stripped = static_cast<long>(p[0] + q[0] - out[0]);
    ASSERT_GE(stripped, 0);
    ASSERT_LE(stripped, 2);
    Mpz x = words_value(p.data() + 1, kN, kRadix), y = words_value(q.data() + 1, kN, kRadix), z, shift;
    mpz_mul(z.get(), x.get(), y.get());
    mpz_ui_pow_ui(shift.get(), static_cast<unsigned long>(kRadix), stripped);
    mpz_mul(z.get(), z.get(), shift.get());
    EXPECT_TRUE(words_value(out.data() + 1, 2 * kN, kRadix) == z);
}

// Words all at R/2 make the largest coefficients; at this length in the
// largest radix they pass 2^53 and the product cannot be exact. It must then
// say so with an error of at least 0.5.
TEST_F(FmtLargest, ExtremeWordsAreExactOrFlagged)
{
    for (double radix : {kRadix, 100000.0}) {
        SCOPED_TRACE(testing::Message() << "R = " << radix);
        g_radix = radix;
        const std::vector<double> a(kN, std::floor(radix / 2));
        std::vector<double> out(2 * kN);
        const double err = fmt_convolve(a.data(), a.data(), out.data(), kN);
        Mpz x = words_value(a, radix), z;
        mpz_mul(z.get(), x.get(), x.get());
        const bool exact = words_value(out, radix) == z;
        std::printf("n = %d, R = %.0f, all words R/2: error %.3g, %s\n", kN, radix, err, exact ? "exact" : "WRONG");
        EXPECT_TRUE(exact || err >= 0.5) << "error " << err;
    }
}

TEST_F(FmtLargest, InverseOfAForwardTransformGivesBackTheWords)
{
    std::uniform_real_distribution<double> dist(-kRadix / 2, kRadix / 2);
    std::vector<double> a(kN), spectrum(2 * kN), out(2 * kN);
    for (double& v : a) v = std::round(dist(rng_));
    fft_forward(a.data(), kN, spectrum.data(), kN);
    EXPECT_LT(fft_inverse(spectrum.data(), out.data(), 2 * kN, kN), 1e-6);
    for (int k = 0; k < kN; ++k) ASSERT_EQ(out[k], 0) << "word " << k;
    for (int k = 0; k < kN; ++k) ASSERT_EQ(out[kN + k], a[k]) << "word " << kN + k;
}

}  // namespace
