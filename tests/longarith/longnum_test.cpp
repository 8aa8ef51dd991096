// The long-number format: carry normalization in both modes, stripping of
// leading zero words, the constructors, the array routines and the scalar helpers.
#include <gmp.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "longarith/longnum.h"
#include "support/fixtures.h"

namespace {

constexpr int kBalanced = -1;
constexpr int kNonNegative = 1;

// Every test that normalizes sets the radix and the carry mode; both are
// globals that the rest of the program reads, so they are put back afterwards.
class LongNumRadix : public RadixTest {
protected:
    static std::vector<double> normalized(std::vector<double> v, double radix, int mode)
    {
        use_radix(radix, mode);
        ln_normalize(v.data(), static_cast<int>(v.size()));
        return v;
    }
};

std::string show(const std::vector<double>& v)
{
    std::string s = "[";
    for (size_t i = 0; i < v.size(); ++i) s += (i ? ", " : "") + std::to_string(static_cast<long long>(v[i]));
    return s + "]";
}

struct NormalizeCase {
    double radix;
    int mode;
    std::vector<double> in;
    std::vector<double> out;
};

void PrintTo(const NormalizeCase& c, std::ostream* os)
{
    *os << "R=" << static_cast<long>(c.radix) << " mode " << c.mode << " " << show(c.in);
}

class LnNormalize : public LongNumRadix, public testing::WithParamInterface<NormalizeCase> {};

TEST_P(LnNormalize, GivesTheNormalForm)
{
    const NormalizeCase& c = GetParam();
    EXPECT_EQ(normalized(c.in, c.radix, c.mode), c.out) << "from " << show(c.in) << " with R = " << c.radix
                                                        << ", mode " << c.mode;
}

INSTANTIATE_TEST_SUITE_P(
    Balanced, LnNormalize,
    testing::Values(
        // R/2 is a legal balanced word and stays; one more goes negative.
        NormalizeCase{1e5, kBalanced, {0, 3, 150000}, {0, 4, 50000}},
        NormalizeCase{1e5, kBalanced, {0, 3, 150001}, {0, 5, -49999}},
        NormalizeCase{1e5, kBalanced, {0, -150001}, {-2, 49999}},
        NormalizeCase{1e5, kBalanced, {0, 3, -50000}, {0, 3, -50000}},
        NormalizeCase{1e5, kBalanced, {0, 3, -50001}, {0, 2, 49999}},
        // The first word is never reduced, but takes the carries.
        NormalizeCase{1e5, kBalanced, {250000, 0}, {250000, 0}},
        NormalizeCase{1e5, kBalanced, {0, 250000}, {2, 50000}},
        NormalizeCase{1e5, kBalanced, {-250000, 0, 0}, {-250000, 0, 0}},
        // A carry of 1 that lifts its neighbour over R/2 runs on within the one pass.
        NormalizeCase{1e5, kBalanced, {0, 50000, 50001}, {1, -49999, -49999}},
        NormalizeCase{1e5, kBalanced, {0, 99999, 50001}, {1, 0, -49999}},
        NormalizeCase{1e5, kBalanced, {0, -50000, -50001}, {-1, 49999, 49999}},
        // Large words: the carry is the truncated quotient.
        NormalizeCase{1e5, kBalanced, {0, 123456789012345.0}, {1234567890, 12345}},
        NormalizeCase{1e5, kBalanced, {7, -123456789012345.0}, {7 - 1234567890, -12345}},
        NormalizeCase{1e5, kBalanced, {0, 0, 0, 0}, {0, 0, 0, 0}},
        // An even radix other than 10^5.
        NormalizeCase{262144, kBalanced, {0, 131072, -131072}, {0, 131072, -131072}},
        NormalizeCase{262144, kBalanced, {0, 131072, 131073}, {1, 131073 - 262144, 131073 - 262144}}));

INSTANTIATE_TEST_SUITE_P(
    NonNegative, LnNormalize,
    testing::Values(NormalizeCase{1e5, kNonNegative, {0, 5, -49999}, {0, 4, 50001}},
                    // The borrow runs through zero words.
                    NormalizeCase{1e5, kNonNegative, {1, 0, -1}, {0, 99999, 99999}},
                    NormalizeCase{1e5, kNonNegative, {1, 0, 0, 0, -1}, {0, 99999, 99999, 99999, 99999}},
                    NormalizeCase{1e5, kNonNegative, {0, -1}, {-1, 99999}},
                    NormalizeCase{1e5, kNonNegative, {0, -100000}, {-1, 0}},
                    NormalizeCase{1e5, kNonNegative, {0, -100001}, {-2, 99999}},
                    NormalizeCase{1e5, kNonNegative, {0, 100000}, {1, 0}},
                    NormalizeCase{1e5, kNonNegative, {0, 199999}, {1, 99999}},
                    NormalizeCase{1e5, kNonNegative, {0, 99999, 100000}, {1, 0, 0}},
                    NormalizeCase{1e5, kNonNegative, {0, 250000}, {2, 50000}},
                    NormalizeCase{1e5, kNonNegative, {250000, 0}, {250000, 0}},
                    NormalizeCase{1e5, kNonNegative, {-5, -3}, {-6, 99997}},
                    // Balanced words turned into ordinary digits, as the report does.
                    NormalizeCase{1e5, kNonNegative, {3, -49999, 50000, -1}, {2, 50001, 49999, 99999}},
                    NormalizeCase{177147, kNonNegative, {0, -1, -1}, {-1, 177145, 177146}}));

// Mode 0 is "zero or positive": non-negative words, like +1.
INSTANTIATE_TEST_SUITE_P(ModeValues, LnNormalize,
                         testing::Values(NormalizeCase{1e5, 0, {1, 0, -1}, {0, 99999, 99999}},
                                         NormalizeCase{1e5, 7, {0, 5, -49999}, {0, 4, 50001}},
                                         NormalizeCase{1e5, -7, {0, 3, 150001}, {0, 5, -49999}},
                                         NormalizeCase{1e5, INT_MIN, {0, 70000}, {1, -30000}}));

// Odd radices have no word R/2: the balanced range is [-(R-1)/2, (R-1)/2].
class LnNormalizeOddRadix : public LongNumRadix, public testing::WithParamInterface<double> {};

TEST_P(LnNormalizeOddRadix, HalfRangeIsClosedAtRMinusOneOverTwo)
{
    const double r = GetParam();
    const double lo = (r - 1) / 2;   // stays
    const double hi = (r + 1) / 2;   // goes over to -(R-1)/2
    EXPECT_EQ(normalized({0, lo}, r, kBalanced), (std::vector<double>{0, lo}));
    EXPECT_EQ(normalized({0, -lo}, r, kBalanced), (std::vector<double>{0, -lo}));
    EXPECT_EQ(normalized({0, hi}, r, kBalanced), (std::vector<double>{1, -lo}));
    EXPECT_EQ(normalized({0, -hi}, r, kBalanced), (std::vector<double>{-1, lo}));
    // The same words reached through a carry from the right.
    EXPECT_EQ(normalized({0, lo - 1, r + 1}, r, kBalanced), (std::vector<double>{0, lo, 1}));
    EXPECT_EQ(normalized({0, lo, r + 1}, r, kBalanced), (std::vector<double>{1, -lo, 1}));
    // In the non-negative form the half is an ordinary word.
    EXPECT_EQ(normalized({0, hi}, r, kNonNegative), (std::vector<double>{0, hi}));
    EXPECT_EQ(normalized({0, -hi}, r, kNonNegative), (std::vector<double>{-1, lo}));
}

// 3^11, 5^8, 7^6, 9^5, 13^5, 15^4, 27^3, 61^3: radices of odd bases.
INSTANTIATE_TEST_SUITE_P(Radices, LnNormalizeOddRadix,
                         testing::Values(177147.0, 390625.0, 117649.0, 59049.0, 371293.0, 50625.0, 19683.0,
                                         226981.0));

TEST_F(LongNumRadix, EvenRadixKeepsBothHalves)
{
    for (double r : {100000.0, 262144.0, 279936.0, 456976.0, 238328.0}) {
        const double h = r / 2;
        EXPECT_EQ(normalized({0, h, -h}, r, kBalanced), (std::vector<double>{0, h, -h})) << r;
        EXPECT_EQ(normalized({0, -h, h}, r, kBalanced), (std::vector<double>{0, -h, h})) << r;
        EXPECT_EQ(normalized({0, h + 1}, r, kBalanced), (std::vector<double>{1, -(h - 1)})) << r;
    }
}

TEST_F(LongNumRadix, ShortVectorsAreLeftAlone)
{
    // Sentinels on both sides: nothing before v[0] or after v[n-1] is touched.
    for (int mode : {kBalanced, kNonNegative}) {
        g_radix = 1e5;
        g_carry_mode = mode;
        std::vector<double> a = {-11, 250000, -777};
        ln_normalize(a.data() + 1, 1);
        EXPECT_EQ(a, (std::vector<double>{-11, 250000, -777}));
        std::vector<double> b = {-11, -350001, -777};
        ln_normalize(b.data() + 1, 0);
        EXPECT_EQ(b, (std::vector<double>{-11, -350001, -777}));
        std::vector<double> c = {-11, 0, 150001, 999999};
        ln_normalize(c.data() + 1, 2);
        EXPECT_EQ(c[0], -11);
        EXPECT_EQ(c[3], 999999);
    }
}

TEST_F(LongNumRadix, ModeIsReadAtEveryCall)
{
    g_radix = 1e5;
    std::vector<double> v = {0, 3, 70000};
    g_carry_mode = kBalanced;
    ln_normalize(v.data(), 3);
    EXPECT_EQ(v, (std::vector<double>{0, 4, -30000}));
    g_carry_mode = kNonNegative;
    ln_normalize(v.data(), 3);
    EXPECT_EQ(v, (std::vector<double>{0, 3, 70000}));
    g_radix = 1000;
    ln_normalize(v.data(), 3);
    EXPECT_EQ(v, (std::vector<double>{0, 73, 0}));
}

// Randomized: for R = b^d of every base, normalization keeps the value
// sum v[i] * R^(n-1-i) exactly, puts words 1..n-1 in the range of the mode,
// keeps every word whole, and a second normalization changes nothing.
int digits_per_word(int b) { return static_cast<int>(5.7 / std::log10(static_cast<double>(b))); }

void exact_value(const std::vector<double>& v, long r, mpz_t out)
{
    mpz_set_ui(out, 0);
    for (double w : v) {
        mpz_mul_si(out, out, r);
        if (w >= 0) mpz_add_ui(out, out, static_cast<unsigned long>(w));
        else mpz_sub_ui(out, out, static_cast<unsigned long>(-w));
    }
}

TEST_F(LongNumRadix, RandomVectorsKeepTheirValueInEveryRadix)
{
    std::mt19937_64 rng(20240611);
    mpz_t before, after;
    mpz_inits(before, after, nullptr);
    for (int b = 3; b <= 62; ++b) {
        const int d = digits_per_word(b);
        long r = 1;
        for (int i = 0; i < d; ++i) r *= b;
        ASSERT_LE(r, 501187) << b;
        ASSERT_GT(r * b, 501187) << b;
        for (int mode : {kBalanced, kNonNegative}) {
            for (int trial = 0; trial < 150; ++trial) {
                const int n = 1 + static_cast<int>(rng() % 12);
                std::vector<double> v(n);
                for (double& w : v) {
                    // Mostly words near the range, some at its edges, some far out.
                    const int64_t m = static_cast<int64_t>(rng() % 9);
                    const int64_t s = (rng() & 1) ? 1 : -1;
                    int64_t x = 0;
                    switch (m) {
                    case 0: x = 0; break;
                    case 1: x = r / 2; break;
                    case 2: x = (r + 1) / 2; break;
                    case 3: x = r; break;
                    case 4: x = r - 1; break;
                    case 5: x = static_cast<int64_t>(rng() % static_cast<uint64_t>(r)); break;
                    case 6: x = static_cast<int64_t>(rng() % static_cast<uint64_t>(2 * r)); break;
                    case 7: x = static_cast<int64_t>(rng() % (uint64_t{1} << 40)); break;
                    default: x = static_cast<int64_t>(rng() % static_cast<uint64_t>(r * 1000)); break;
                    }
                    w = static_cast<double>(s * x);
                }
                exact_value(v, r, before);
                const std::vector<double> out = normalized(v, static_cast<double>(r), mode);
                exact_value(out, r, after);
                ASSERT_EQ(mpz_cmp(before, after), 0) << "R = " << r << ", mode " << mode << ": " << show(v)
                                                     << " -> " << show(out);
                for (int i = 0; i < n; ++i) ASSERT_EQ(out[i], std::trunc(out[i])) << show(out);
                for (int i = 1; i < n; ++i) {
                    if (mode < 0) {
                        ASSERT_LE(std::fabs(out[i]), r / 2.0) << "R = " << r << ": " << show(v) << " -> " << show(out);
                        if (r % 2 == 1) {
                            ASSERT_LE(std::fabs(out[i]), (r - 1) / 2) << show(out);
                        }
                    } else {
                        ASSERT_GE(out[i], 0) << "R = " << r << ": " << show(v) << " -> " << show(out);
                        ASSERT_LE(out[i], r - 1) << "R = " << r << ": " << show(v) << " -> " << show(out);
                    }
                }
                if (n == 1) {
                    ASSERT_EQ(out, v);
                }
                ASSERT_EQ(normalized(out, static_cast<double>(r), mode), out) << "not stable: " << show(out);
            }
        }
    }
    mpz_clears(before, after, nullptr);
}

// The same for vectors long enough for the vector form, each vector's words of
// one size class: all within R/2 (nothing to carry but the first words),
// within 1.5 R (sums), within R^3 / 2 (products), and up to 2^50; some with
// a first word up to 2^50.
TEST_F(LongNumRadix, LongVectorsKeepTheirValueInEveryRadix)
{
    std::mt19937_64 rng(777);
    mpz_t before, after;
    mpz_inits(before, after, nullptr);
    for (int b : {3, 5, 7, 10, 13, 26, 27, 62}) {
        const int d = digits_per_word(b);
        long r = 1;
        for (int i = 0; i < d; ++i) r *= b;
        const double big = std::ldexp(1.0, 50);
        const double bounds[] = {r / 2.0, 1.5 * r - 1, std::fmin(0.5 * r * r * r - 1, big), big};
        for (int mode : {kBalanced, kNonNegative}) {
            for (int n : {16, 17, 23, 40, 64, 100, 257}) {
                for (double bound : bounds) {
                    for (int trial = 0; trial < 6; ++trial) {
                        std::uniform_real_distribution<double> word(-bound, bound);
                        std::vector<double> v(n);
                        for (double& w : v) w = std::trunc(word(rng));
                        if (trial % 3 == 0) v[0] = std::trunc(std::uniform_real_distribution<double>(-big, big)(rng));
                        exact_value(v, r, before);
                        const std::vector<double> out = normalized(v, static_cast<double>(r), mode);
                        exact_value(out, r, after);
                        ASSERT_EQ(mpz_cmp(before, after), 0) << "R = " << r << ", n = " << n << ", bound " << bound;
                        for (int i = 1; i < n; ++i) {
                            if (mode < 0) {
                                ASSERT_LE(std::fabs(out[i]), r % 2 ? (r - 1) / 2 : r / 2) << "R = " << r << ", word " << i;
                            } else {
                                ASSERT_GE(out[i], 0) << "R = " << r << ", word " << i;
                                ASSERT_LE(out[i], r - 1) << "R = " << r << ", word " << i;
                            }
                        }
                        ASSERT_EQ(normalized(out, static_cast<double>(r), mode), out) << "not stable";
                    }
                }
            }
        }
    }
    mpz_clears(before, after, nullptr);
}

TEST_F(LongNumRadix, NonNegativeTopWordCarriesTheSign)
{
    // A negative number in non-negative words: the top word is negative, the rest in [0, R-1].
    EXPECT_EQ(normalized({0, -3, 5}, 1e5, kNonNegative), (std::vector<double>{-1, 99997, 5}));
    EXPECT_EQ(normalized({-1, 99997, 5}, 1e5, kBalanced), (std::vector<double>{0, -3, 5}));
}

// ln_strip

struct StripCase {
    std::vector<double> in;   // exponent, then the n words
    std::vector<double> out;
};

void PrintTo(const StripCase& c, std::ostream* os) { *os << show(c.in); }

class LnStrip : public testing::TestWithParam<StripCase> {};

TEST_P(LnStrip, MovesWordsUpAndLowersTheExponent)
{
    const StripCase& c = GetParam();
    std::vector<double> z = c.in;
    z.push_back(4242);   // a sentinel past the last word
    ln_strip(z.data(), static_cast<int>(c.in.size()) - 1);
    EXPECT_EQ(z.back(), 4242);
    z.pop_back();
    EXPECT_EQ(z, c.out) << "from " << show(c.in);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LnStrip,
    testing::Values(StripCase{{3, 0, 0, 7, 8}, {1, 7, 8, 0, 0}},
                    StripCase{{2, 0, 0, 0}, {-1, 0, 0, 0}},       // all zero: down by n
                    StripCase{{-1, 0, 0, 0}, {-4, 0, 0, 0}},      // and again by n
                    StripCase{{5, 1, 0, 0}, {5, 1, 0, 0}},        // top word nonzero: unchanged
                    StripCase{{5, -1, 0, 2}, {5, -1, 0, 2}},
                    StripCase{{0, 0, 5, 0, 6}, {-1, 5, 0, 6, 0}}, // inner zeros stay
                    StripCase{{0, 0, 0, 0, -6}, {-3, -6, 0, 0, 0}},
                    StripCase{{1, 0}, {0, 0}},
                    StripCase{{1, 9}, {1, 9}},
                    StripCase{{7}, {7}}));                        // n = 0

TEST(LnStripSign, MinusZeroCountsAsZero)
{
    std::vector<double> z = {4, -0.0, 0.0, -0.0, 9};
    ln_strip(z.data(), 4);
    EXPECT_EQ(z, (std::vector<double>{1, 9, 0, 0, 0}));

    std::vector<double> all = {0, -0.0, -0.0};
    ln_strip(all.data(), 2);
    EXPECT_EQ(all[0], -2);
    EXPECT_EQ(all[1], 0);
    EXPECT_EQ(all[2], 0);
}

// ln_from_integer_words

TEST(LnFromIntegerWords, ExponentIsCountMinusLeadingZeros)
{
    for (double old_exponent : {0.0, 999.0, -5.0}) {
        std::vector<double> z = {old_exponent, 0, 0, 12, 34};
        ln_from_integer_words(z.data(), 4);
        EXPECT_EQ(z, (std::vector<double>{2, 12, 34, 0, 0})) << "old exponent " << old_exponent;
    }
    std::vector<double> full = {-3, 1, 2, 3};
    ln_from_integer_words(full.data(), 3);
    EXPECT_EQ(full, (std::vector<double>{3, 1, 2, 3}));

    std::vector<double> zero = {17, 0, 0, 0};
    ln_from_integer_words(zero.data(), 3);
    EXPECT_EQ(zero, (std::vector<double>{0, 0, 0, 0}));

    std::vector<double> negative = {0, 0, -0.0, -5, 6};
    ln_from_integer_words(negative.data(), 4);
    EXPECT_EQ(negative, (std::vector<double>{2, -5, 6, 0, 0}));
}

// ln_set_int

TEST(LnSetInt, StoresTheIntegerWholeWithExponentOne)
{
    struct Case {
        int a;
        int n;
    };
    for (const Case c : {Case{7, 3}, Case{0, 3}, Case{-5, 2}, Case{250000, 3}, Case{INT_MAX, 4}, Case{9, 1}}) {
        std::vector<double> z(c.n + 2, -99.5);   // old contents and a sentinel
        ln_set_int(c.a, z.data(), c.n);
        std::vector<double> want(c.n + 2, 0.0);
        want[0] = 1;
        want[1] = c.a;
        want[c.n + 1] = -99.5;
        EXPECT_EQ(z, want) << "a = " << c.a << ", n = " << c.n;
    }
}

// words_copy and words_fill

TEST(WordsCopyFill, CopyAndFillTouchExactlyNWords)
{
    const std::vector<double> src = {1, -2, 3.5, 4e12, -0.0};
    std::vector<double> dst(7, 8.0);
    words_copy(src.data(), dst.data() + 1, 5);
    EXPECT_EQ(dst, (std::vector<double>{8, 1, -2, 3.5, 4e12, 0, 8}));
    EXPECT_TRUE(std::signbit(dst[5]));

    std::vector<double> same = src;
    words_copy(same.data(), same.data(), 5);
    EXPECT_EQ(same, src);

    std::vector<double> none(3, 8.0);
    words_copy(src.data(), none.data(), 0);
    EXPECT_EQ(none, (std::vector<double>(3, 8.0)));

    std::vector<double> f(6, 8.0);
    words_fill(-3, f.data() + 1, 4);
    EXPECT_EQ(f, (std::vector<double>{8, -3, -3, -3, -3, 8}));
    words_fill(0, f.data(), 0);
    EXPECT_EQ(f[0], 8);
    words_fill(INT_MIN, f.data(), 1);
    EXPECT_EQ(f[0], static_cast<double>(INT_MIN));
    words_fill(0, f.data(), 6);
    EXPECT_EQ(f, (std::vector<double>(6, 0.0)));
    EXPECT_FALSE(std::signbit(f[3]));
}

// Scalar helpers

TEST(Ipow, RepeatedProducts)
{
    EXPECT_EQ(ipow(10, 5), 100000);
    EXPECT_EQ(ipow(2, 0), 1);
    EXPECT_EQ(ipow(2, -3), 1);
    EXPECT_EQ(ipow(0, 0), 1);
    EXPECT_EQ(ipow(0, 3), 0);
    EXPECT_EQ(ipow(-2, 3), -8);
    EXPECT_EQ(ipow(3, 11), 177147);
    EXPECT_EQ(ipow(26, 4), 456976);
    EXPECT_EQ(ipow(62, 3), 238328);
    EXPECT_EQ(ipow(2, 18), 262144);
    EXPECT_EQ(ipow(2, 30), 1 << 30);
    EXPECT_EQ(ipow(1, 1000), 1);
}

TEST(Dmax, TiesReturnTheFirstArgument)
{
    EXPECT_EQ(dmax2(1.5, 2.5), 2.5);
    EXPECT_EQ(dmax2(2.5, 1.5), 2.5);
    // +0 and -0 compare equal, so the sign shows which one came back.
    EXPECT_TRUE(std::signbit(dmax2(-0.0, 0.0)));
    EXPECT_FALSE(std::signbit(dmax2(0.0, -0.0)));
    EXPECT_TRUE(std::signbit(dmax3(-0.0, 0.0, 0.0)));
    EXPECT_FALSE(std::signbit(dmax3(0.0, -0.0, -0.0)));
    EXPECT_FALSE(std::signbit(dmax3(-1.0, 0.0, -0.0)));
    EXPECT_EQ(dmax3(1, 3, 2), 3);
    EXPECT_EQ(dmax3(3, 1, 2), 3);
    EXPECT_EQ(dmax3(1, 2, 3), 3);
    EXPECT_EQ(dmax3(-1, -2, -3), -1);
    // "b when b > a": a NaN second argument is never greater, a NaN first is kept.
    EXPECT_EQ(dmax2(1.0, NAN), 1.0);
    EXPECT_TRUE(std::isnan(dmax2(NAN, 1.0)));
}

TEST(Imin2, SmallerOrFirst)
{
    EXPECT_EQ(imin2(4, 4), 4);
    EXPECT_EQ(imin2(5, 3), 3);
    EXPECT_EQ(imin2(3, 5), 3);
    EXPECT_EQ(imin2(-1, 0), -1);
    EXPECT_EQ(imin2(INT_MAX, INT_MIN), INT_MIN);
    EXPECT_EQ(imin2(INT_MIN, INT_MAX), INT_MIN);
}

TEST(Ilog2, FloorOfLog2)
{
    EXPECT_EQ(ilog2(1), 0);
    EXPECT_EQ(ilog2(2), 1);
    EXPECT_EQ(ilog2(3), 1);
    EXPECT_EQ(ilog2(1023), 9);
    EXPECT_EQ(ilog2(1024), 10);
    EXPECT_EQ(ilog2(262144), 18);
    EXPECT_EQ(ilog2(270001), 18);
    EXPECT_EQ(ilog2(INT_MAX), 30);
    EXPECT_EQ(ilog2(0), -1);   // trunc(ln 0.5 / ln 2)
    for (int k = 0; k <= 30; ++k) {
        const int p = 1 << k;
        EXPECT_EQ(ilog2(p), k) << "2^" << k;
        if (k >= 1) {
            EXPECT_EQ(ilog2(p - 1), k - 1) << "2^" << k << " - 1";
            EXPECT_EQ(ilog2(p + 1), k) << "2^" << k << " + 1";
        }
    }
}

}  // namespace
