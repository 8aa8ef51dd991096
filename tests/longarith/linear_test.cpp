// Linear long-number operations: worked cases in the radix 10^5, then random
// operands in every radix of the program (R = b^d for the bases 3..62) checked
// against exact GMP integers, in balanced and in non-negative carry mode.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "longarith/linear.h"
#include "longarith/longnum.h"
#include "longarith/mpz_words.h"
#include "support/fixtures.h"

namespace {

constexpr double kGuard = -123456.75;     // never a word: sits just after z[n] of a result
constexpr double kInGuard = 98765.25;     // the same after the words of an operand

// out = (sum of z[j] R^(z[0]-j), j = 1..m) * R^(-base): the first m words of a
// long number counted in units of R^base. False when that is not a whole number.
bool ln_value_at(mpz_t out, const double* z, int m, long base, int64_t r)
{
    words_value(out, z + 1, m, r);
    const long shift = static_cast<long>(z[0]) - m - base;
    Mpz p;
    if (shift >= 0) {
        mpz_ui_pow_ui(p.v, static_cast<unsigned long>(r), static_cast<unsigned long>(shift));
        mpz_mul(out, out, p.v);
        return true;
    }
    mpz_ui_pow_ui(p.v, static_cast<unsigned long>(r), static_cast<unsigned long>(-shift));
    if (!mpz_divisible_p(out, p.v)) return false;
    mpz_divexact(out, out, p.v);
    return true;
}

bool is_whole(double w) { return std::trunc(w) == w; }

// Words v[1..n-1] in the normal form of the current carry mode, all words whole.
testing::AssertionResult words_normalized(const double* v, int n, int64_t r)
{
    for (int i = 0; i < n; ++i) {
        if (!is_whole(v[i])) return testing::AssertionFailure() << "word " << i << " = " << v[i] << " not whole";
        if (i == 0) continue;
        const bool ok = g_carry_mode < 0 ? std::fabs(v[i]) <= r / 2 : (v[i] >= 0 && v[i] <= r - 1);
        if (!ok) return testing::AssertionFailure() << "word " << i << " = " << v[i] << " outside the normal range";
    }
    return testing::AssertionSuccess();
}

// A long number normalized over z[1..n] and stripped: top word nonzero unless all are zero.
testing::AssertionResult ln_normalized(const double* z, int n, int64_t r)
{
    if (!is_whole(z[0])) return testing::AssertionFailure() << "exponent " << z[0] << " not whole";
    const testing::AssertionResult words = words_normalized(z + 1, n, r);
    if (!words) return words;
    if (z[1] == 0) {
        for (int j = 2; j <= n; ++j)
            if (z[j] != 0) return testing::AssertionFailure() << "top word zero but word " << j << " = " << z[j];
    }
    return testing::AssertionSuccess();
}

std::string show(const double* z, int n)
{
    std::ostringstream s;
    s << static_cast<long long>(z[0]) << " |";
    for (int j = 1; j <= n; ++j) s << ' ' << static_cast<long long>(z[j]);
    return s.str();
}

// Exponent | words, as the worked cases write them.
using Num = std::vector<double>;

class LinearFixture : public RadixTest {
protected:
    void SetUp() override { use_radix(100000); }

    // A destination of n + 2 doubles: garbage in z[0..n], the guard in z[n+1].
    static Num destination(int n)
    {
        Num z(n + 2, 777.0);
        z[n + 1] = kGuard;
        return z;
    }
    static Num guarded(Num x)
    {
        x.push_back(kInGuard);
        return x;
    }
};

// z is want followed by its guard, untouched.
void expect_num(const Num& z, const Num& want, double guard = kGuard)
{
    const int n = static_cast<int>(want.size()) - 1;
    ASSERT_EQ(z.size(), want.size() + 1);
    EXPECT_EQ(Num(z.begin(), z.end() - 1), want) << "got " << show(z.data(), n) << ", want " << show(want.data(), n);
    EXPECT_EQ(z.back(), guard) << "written beyond z[n]";
}

// ---------------------------------------------------------------------------
// Worked cases, R = 100000.

using WordsAddSub = LinearFixture;

TEST_F(WordsAddSub, AddsOrSubtractsWordwiseAndCarriesIntoTheFirstWord)
{
    struct Case {
        Num x, y;
        int sign;
        Num want;
    };
    const Case cases[] = {
        {{1, 60000}, {0, 60000}, +1, {2, 20000}},
        {{0, -30000}, {0, 30000}, -1, {-1, 40000}},
        {{3, 4, 5}, {1, 2, 3}, 0, {4, 6, 8}},           // sign 0 adds
        {{99999, 50000}, {0, 50000}, +1, {100000, 0}},   // the first word is never reduced
        {{0, 0, -1}, {0, 0, 0}, +1, {0, 0, -1}},
        {{5, 7}, {5, 7}, -1, {0, 0}},
    };
    for (const Case& c : cases) {
        const int n = static_cast<int>(c.x.size());
        Num z(n, 777.0);
        words_addsub(c.x.data(), c.y.data(), z.data(), n, c.sign);
        EXPECT_EQ(z, c.want) << "case " << &c - cases;

        Num zx = c.x;   // z == x
        words_addsub(zx.data(), c.y.data(), zx.data(), n, c.sign);
        EXPECT_EQ(zx, c.want) << "in place on x, case " << &c - cases;
        Num zy = c.y;   // z == y
        words_addsub(c.x.data(), zy.data(), zy.data(), n, c.sign);
        EXPECT_EQ(zy, c.want) << "in place on y, case " << &c - cases;
    }
}

using LnAddSub = LinearFixture;

struct AddSubCase {
    const char* what;
    Num x, y;
    int sign;
    Num want;
};

TEST_F(LnAddSub, WorkedCases)
{
    const AddSubCase cases[] = {
        {"3.6 + 2.5, equal exponents", {1, 3, 60000}, {1, 2, 50000}, +1, {1, 6, 10000}},
        {"R + 5: the lower word of y is dropped", {2, 1, 0}, {1, 5, 0}, +1, {2, 1, 5}},
        {"5 - R: a negative top word", {1, 5, 0}, {2, 1, 0}, -1, {2, -1, 5}},
        {"x - x: all zero, exponent lowered by n", {1, 5, 7}, {1, 5, 7}, -1, {-1, 0, 0}},
        {"x - x with n = 3", {0, 4, -2, 9}, {0, 4, -2, 9}, -1, {-3, 0, 0, 0}},
        {"y higher, subtracted, overlapping", {1, 5, 7, 0}, {2, 1, 2, 3}, -1, {2, -1, 3, 4}},
        {"y higher by one, added", {1, 5, 7}, {2, 1, 2}, +1, {2, 1, 7}},
        {"the carry stays in the top word", {1, 60000, 0}, {1, 60000, 0}, +1, {1, 120000, 0}},
        {"a carry of the lower words reaches the top", {1, 3, 50000}, {1, 2, 50001}, +1, {1, 6, 1}},
        {"cancelled top word is stripped", {1, 5, 7}, {1, 5, 3}, -1, {0, 4, 0}},
        {"x higher by n", {3, 4, 5}, {1, 7, 8}, +1, {3, 4, 5}},
        {"x higher by more than n", {5, 4, 5}, {1, 7, 8}, -1, {5, 4, 5}},
        {"y higher by n, added", {1, 7, 8}, {3, 4, 5}, +1, {3, 4, 5}},
        {"y higher by n, subtracted", {1, 7, 8}, {3, 4, 5}, -1, {3, -4, -5}},
        {"y higher by more than n, subtracted", {1, 7, 8}, {6, 4, 5}, -1, {6, -4, -5}},
        {"negative exponents", {-2, 3, 60000}, {-3, 7, 0}, +1, {-2, 4, -39993}},
        {"one word", {1, 3}, {1, 4}, -1, {1, -1}},
    };
    for (const AddSubCase& c : cases) {
        SCOPED_TRACE(c.what);
        const int n = static_cast<int>(c.x.size()) - 1;
        const Num x = guarded(c.x), y = guarded(c.y);
        Num z = destination(n);
        ln_addsub(x.data(), y.data(), z.data(), n, c.sign);
        expect_num(z, c.want);
        EXPECT_EQ(x, guarded(c.x)) << "x changed";
        EXPECT_EQ(y, guarded(c.y)) << "y changed";
    }
}

TEST_F(LnAddSub, InPlaceOnXWhenYIsNotHigher)
{
    const AddSubCase cases[] = {
        {"equal exponents", {1, 3, 60000}, {1, 2, 50000}, +1, {1, 6, 10000}},
        {"y lower by one", {2, 1, 0}, {1, 5, 0}, +1, {2, 1, 5}},
        {"y lower by one, subtracted", {2, 1, 0, 0}, {1, 5, 6, 7}, -1, {2, 1, -5, -6}},
        {"x - x", {1, 5, 7}, {1, 5, 7}, -1, {-1, 0, 0}},
        {"y lower by n", {3, 4, 5}, {1, 7, 8}, -1, {3, 4, 5}},
    };
    for (const AddSubCase& c : cases) {
        SCOPED_TRACE(c.what);
        const int n = static_cast<int>(c.x.size()) - 1;
        Num x = guarded(c.x);
        const Num y = guarded(c.y);
        ln_addsub(x.data(), y.data(), x.data(), n, c.sign);
        expect_num(x, c.want, kInGuard);
    }
}

using LnIntAddSub = LinearFixture;

TEST_F(LnIntAddSub, WorkedCases)
{
    struct Case {
        const char* what;
        int a;
        Num y;
        int sign;
        Num want;
    };
    const Case cases[] = {
        {"1 - 1 is zero, exponent lowered by n", 1, {1, 1, 0}, -1, {-1, 0, 0}},
        {"1 - 0.99999", 1, {0, 99999, 0, 0}, -1, {0, 1, 0, 0}},
        {"1 + y, y one word down (k = 2)", 1, {-1, 7, 0, 0}, +1, {1, 1, 0, 7}},
        {"k = 6 > n: only a", 1, {-5, 7, 0, 0}, +1, {1, 1, 0, 0}},
        {"k = n: only a", 1, {-2, 7, 8, 9}, +1, {1, 1, 0, 0}},
        {"k = n - 1: one word of y kept", 1, {-1, 7, 8, 9}, -1, {1, 1, 0, -7}},
        {"k = 1: 1 + 0.5", 1, {0, 50000, 0}, +1, {1, 1, 50000}},
        {"k = 1: 1 - 0.75 borrows from a", 1, {0, 75000, 0}, -1, {0, 25000, 0}},
        {"k = 1: the last word of y dropped", 2, {0, 1, 2, 3}, +1, {1, 2, 1, 2}},
        {"y with a units word in front", 1, {1, 4, 5}, +1, {1, 5, 5}},
        {"units word below the top", 1, {2, 3, 4, 5}, +1, {2, 3, 5, 5}},
        {"units word below the top, subtracted", 1, {2, 3, 4, 5}, -1, {2, -3, -3, -5}},
        {"units word last, carrying", 3, {3, 1, 2, 49998}, +1, {3, 1, 3, -49999}},
        {"a = 0, sign 0", 0, {1, 4, 5}, 0, {1, 4, 5}},
        {"negative a", -2, {1, 4, 5}, +1, {1, 2, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int n = static_cast<int>(c.y.size()) - 1;
        const Num y = guarded(c.y);
        Num z = destination(n);
        ln_int_addsub(c.a, y.data(), z.data(), n, c.sign);
        expect_num(z, c.want);
        EXPECT_EQ(y, guarded(c.y)) << "y changed";
    }
}

using LnMulInt = LinearFixture;

TEST_F(LnMulInt, WorkedCases)
{
    struct Case {
        const char* what;
        Num x;
        int m;
        Num want;
    };
    const Case cases[] = {
        {"top word times m above R shifts down", {1, 60000, 0}, 2, {2, 1, 20000}},
        {"exactly R shifts too", {1, 50000, 0}, 2, {2, 1, 0}},
        {"dropped last word gives its carry", {1, 60000, 40000}, 3, {2, 2, -19999}},
        {"top word above R", {1, 13591409, 0}, 3, {2, 408, -25773}},
        {"zero times 3", {1, 0, 0}, 3, {-1, 0, 0}},
        {"just below R: no shift, top not reduced", {1, 33333, 0}, 3, {1, 99999, 0}},
        {"lower carry lifts an unshifted top to R", {1, 33333, 33334}, 3, {1, 100000, 2}},
        {"negative top word reaching -R", {1, -50000, 0}, 2, {2, -1, 0}},
        {"negative remainder of the last word dropped", {1, 60000, -40000}, 3, {2, 2, -20001}},
        {"one word, shifted: only the carry stays", {1, 60000}, 2, {2, 1}},
        {"one word, unshifted", {0, 20000}, 3, {0, 60000}},
        {"m = 1", {-2, 7, -3, 50000}, 1, {-2, 7, -3, 50000}},
        {"m = -1", {-2, 7, -3, 50000}, -1, {-2, -7, 3, -50000}},
        {"small product, carries settled", {2, 1, 40000, 30000}, 2, {2, 3, -19999, -40000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int n = static_cast<int>(c.x.size()) - 1;
        const Num x = guarded(c.x);
        Num z = destination(n);
        ln_mul_int(x.data(), c.m, z.data(), n);
        expect_num(z, c.want);
        EXPECT_EQ(x, guarded(c.x)) << "x changed";
    }
}

using LnDivInt = LinearFixture;

TEST_F(LnDivInt, WorkedCases)
{
    struct Case {
        const char* what;
        Num x;
        int m;
        Num want;
    };
    const Case cases[] = {
        {"3.5: the word R/2 stays", {1, 7, 0}, 2, {1, 3, 50000}},
        {"0.25, shifted", {1, 1, 0}, 4, {0, 25000, 0}},
        {"1/3", {1, 1, 0}, 3, {0, 33333, 33333}},
        {"balanced negative word", {1, 3, -20000}, 2, {1, 1, 40000}},
        {"negative number", {1, -7, 0}, 2, {1, -3, -50000}},
        {"negative divisor, shifted", {1, 1, 0}, -4, {0, -25000, 0}},
        {"divisor equal to the top word: no shift", {1, 2, 0}, 2, {1, 1, 0}},
        {"one word, shifted", {1, 1}, 8, {0, 12500}},
        {"one word, remainder dropped", {1, 7}, 2, {1, 3}},
        {"top word above R", {1, 300000, 0}, 3, {1, 100000, 0}},
        {"divisor above R: shifted, then stripped", {1, 1, 0}, 200000, {-1, 50000, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int n = static_cast<int>(c.x.size()) - 1;
        const Num& want = c.want;
        const Num x = guarded(c.x);
        Num z = destination(n);
        ln_div_int(x.data(), c.m, z.data(), n);
        expect_num(z, want);
        EXPECT_EQ(x, guarded(c.x)) << "x changed";

        Num zx = guarded(c.x);   // z == x
        ln_div_int(zx.data(), c.m, zx.data(), n);
        expect_num(zx, want, kInGuard);
    }
}

using WordsScale = LinearFixture;

TEST_F(WordsScale, MultipliesEveryWordAndNormalizes)
{
    struct Case {
        Num v;
        double f;
        Num want;
    };
    const Case cases[] = {
        {{3, -20000, 40000}, -1, {-3, 20000, -40000}},   // f = -1 negates
        {{0, 0, 120000}, 1, {0, 1, 20000}},              // f = 1 only normalizes
        {{1, 60000}, 1, {2, -40000}},
        {{0, 70000, 0}, -1, {-1, 30000, 0}},
        {{0, 50001}, 2, {1, 2}},
        {{99999, 0}, 3, {299997, 0}},                    // the first word absorbs, unreduced
        {{0, 0, 0, 1}, 545140134, {0, 0, 5451, 40134}},
        {{5}, 7, {35}},
    };
    for (const Case& c : cases) {
        Num v = c.v;
        words_scale(v.data(), c.f, static_cast<int>(v.size()));
        EXPECT_EQ(v, c.want) << "case " << &c - cases;
    }
}

using NonNegativeMode = LinearFixture;

TEST_F(NonNegativeMode, KeepsLowerWordsNonNegative)
{
    g_carry_mode = 1;
    const Num x = guarded({1, 5, 0}), y = guarded({2, 1, 0});
    Num z = destination(2);
    ln_addsub(x.data(), y.data(), z.data(), 2, -1);
    expect_num(z, {2, -1, 5});

    const Num a = guarded({1, 3, 60000}), b = guarded({1, 2, 50000});
    ln_addsub(a.data(), b.data(), z.data(), 2, -1);
    expect_num(z, {1, 1, 10000});

    const Num w = guarded({1, 1, 40000});
    ln_int_addsub(1, w.data(), z.data(), 2, -1);   // 1 - 1.4 = -0.4 = -1 + 0.6
    expect_num(z, {1, -1, 60000});

    const Num t = guarded({1, 1, 0});
    ln_div_int(t.data(), 3, z.data(), 2);
    expect_num(z, {0, 33333, 33333});
    ln_div_int(t.data(), -3, z.data(), 2);   // -0.33333 33333 = -1 + 0.66666 66667
    expect_num(z, {0, -33334, 66667});

    const Num u = guarded({1, 60000, 40000});
    ln_mul_int(u.data(), 3, z.data(), 2);
    expect_num(z, {2, 1, 80001});
}

// ---------------------------------------------------------------------------
// Random operands in every radix, checked against exact integers.

constexpr int kCasesPerRadix = 300;
constexpr int kMaxWords = 40;

class LinearRandom : public RadixTestWithParam<int> {
protected:
    void SetUp() override { g_carry_mode = GetParam(); }

    bool balanced() const { return GetParam() < 0; }

    void use(const Radix& rx)
    {
        g_radix = static_cast<double>(rx.r);
        r_ = rx.r;
        rng_.seed(static_cast<uint64_t>(rx.base) * 1000003u + (balanced() ? 17 : 29));
    }

    int64_t uniform(int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng_); }
    bool chance(int percent) { return uniform(1, 100) <= percent; }

    // A lower word in the normal form, with the edges of the range often.
    double word()
    {
        const int64_t h = r_ / 2;
        const int pick = static_cast<int>(uniform(0, 19));
        if (balanced()) {
            if (pick == 0) return 0;
            if (pick == 1) return static_cast<double>(h);
            if (pick == 2) return static_cast<double>(-h);
            if (pick == 3) return static_cast<double>(uniform(-1, 1));
            return static_cast<double>(uniform(-h, h));
        }
        if (pick == 0) return 0;
        if (pick == 1) return static_cast<double>(r_ - 1);
        if (pick == 2) return static_cast<double>(uniform(0, 1));
        return static_cast<double>(uniform(0, r_ - 1));
    }

    // A nonzero top word: within the normal range of a lower word (either sign
    // in non-negative mode, where the top carries the sign), sometimes beyond R.
    double top_word(bool may_exceed_radix)
    {
        if (may_exceed_radix && chance(10)) {
            const int64_t t = uniform(r_, 50 * r_);
            return static_cast<double>(chance(50) ? t : -t);
        }
        const int64_t lim = balanced() ? r_ / 2 : r_ - 1;
        int64_t t = 0;
        while (t == 0) t = chance(10) ? (chance(50) ? lim : -lim) : uniform(-lim, lim);
        return static_cast<double>(t);
    }

    // A long number of n words, exponent in [-4, 4], the guard after z[n].
    Num number(int n, bool may_exceed_radix = false)
    {
        Num z(n + 2);
        z[0] = static_cast<double>(uniform(-4, 4));
        z[1] = top_word(may_exceed_radix);
        for (int j = 2; j <= n; ++j) z[j] = word();
        z[n + 1] = kInGuard;
        return z;
    }

    // A multiplier or divisor: the closing constants, 2, random ones up to lim, sometimes negative.
    int small_int(int64_t lim)
    {
        static const int constants[] = {1, 2, 3, 4, 5, 128, 1103, 3528, 9801, 10005};
        const int kind = static_cast<int>(uniform(0, 9));
        if (kind <= 2) return constants[uniform(0, 9)];
        if (kind == 3) return -static_cast<int>(uniform(1, lim));
        return static_cast<int>(uniform(1, lim));
    }

    int word_count() { return chance(20) ? static_cast<int>(uniform(1, 3)) : static_cast<int>(uniform(1, kMaxWords)); }

    int64_t r_ = 0;
    std::mt19937_64 rng_;
};

std::string mode_name(const testing::TestParamInfo<int>& info) { return info.param < 0 ? "Balanced" : "NonNegative"; }

INSTANTIATE_TEST_SUITE_P(CarryModes, LinearRandom, testing::Values(-1, 1), mode_name);

// Checks that z (n words) has exactly the value want counted in units of R^base.
testing::AssertionResult has_value(const Num& z, int n, const mpz_t want, long base, int64_t r)
{
    Mpz got;
    if (!ln_value_at(got.v, z.data(), n, base, r))
        return testing::AssertionFailure() << show(z.data(), n) << " has words below R^" << base;
    if (mpz_cmp(got.v, want) != 0) {
        Mpz w;
        mpz_set(w.v, want);
        return testing::AssertionFailure() << show(z.data(), n) << " is " << got.str() << " units of R^" << base
                                           << ", want " << w.str();
    }
    return testing::AssertionSuccess();
}

TEST_P(LinearRandom, WordsAddSubIsTheExactSum)
{
    for (const Radix& rx : all_radices()) {
        use(rx);
        SCOPED_TRACE("base " + std::to_string(rx.base) + ", R = " + std::to_string(rx.r));
        for (int i = 0; i < kCasesPerRadix; ++i) {
            const int n = word_count();
            Num x = number(n), y = number(n);
            x.resize(n + 1);
            y.resize(n + 1);
            const int sign = static_cast<int>(uniform(-1, 1));
            const int alias = static_cast<int>(uniform(0, 2));   // 0: distinct, 1: z == x, 2: z == y
            Num zbuf(n + 1, 777.0);
            Num xi = x, yi = y;
            double* z = alias == 1 ? xi.data() + 1 : alias == 2 ? yi.data() + 1 : zbuf.data() + 1;
            words_addsub(xi.data() + 1, yi.data() + 1, z, n, sign);

            Mpz vx, vy, vz;
            words_value(vx.v, x.data() + 1, n, r_);
            words_value(vy.v, y.data() + 1, n, r_);
            words_value(vz.v, z, n, r_);
            if (sign < 0) mpz_sub(vx.v, vx.v, vy.v);
            else mpz_add(vx.v, vx.v, vy.v);
            ASSERT_EQ(mpz_cmp(vz.v, vx.v), 0) << "case " << i << " n " << n << " sign " << sign;
            ASSERT_TRUE(words_normalized(z, n, r_)) << "case " << i;
        }
    }
}

TEST_P(LinearRandom, WordsScaleIsTheExactProduct)
{
    for (const Radix& rx : all_radices()) {
        use(rx);
        SCOPED_TRACE("base " + std::to_string(rx.base));
        for (int i = 0; i < kCasesPerRadix; ++i) {
            const int n = word_count();
            Num v = number(n);
            v.resize(n + 1);
            const double f = chance(20) ? static_cast<double>(uniform(-1, 1)) : static_cast<double>(uniform(-1000000000, 1000000000));
            Mpz want, got;
            words_value(want.v, v.data() + 1, n, r_);
            Mpz mf;
            mpz_set_d(mf.v, f);
            mpz_mul(want.v, want.v, mf.v);
            words_scale(v.data() + 1, f, n);
            words_value(got.v, v.data() + 1, n, r_);
            ASSERT_EQ(mpz_cmp(got.v, want.v), 0) << "case " << i << " f " << f;
            ASSERT_TRUE(words_normalized(v.data() + 1, n, r_)) << "case " << i;
        }
    }
}

// The value of the first m words of z in units of R^base (m may be 0).
void prefix_value(mpz_t out, const Num& z, int m, long base, int64_t r)
{
    if (m <= 0) {
        mpz_set_ui(out, 0);
        return;
    }
    const bool whole = ln_value_at(out, z.data(), m, base, r);
    EXPECT_TRUE(whole);
}

TEST_P(LinearRandom, LnAddSubKeepsWhatOverlapsWithinNWords)
{
    for (const Radix& rx : all_radices()) {
        use(rx);
        SCOPED_TRACE("base " + std::to_string(rx.base));
        for (int i = 0; i < kCasesPerRadix; ++i) {
            const int n = word_count();
            Num x = number(n, true);
            Num y;
            if (chance(25)) {
                // y close to x: leading words cancel in a difference.
                y = x;
                const int keep = static_cast<int>(uniform(0, n));
                for (int j = keep + 1; j <= n; ++j) y[j] = j == 1 ? top_word(false) : word();
                if (y[1] == 0) y[1] = 1;
            } else {
                y = number(n, true);
                y[0] = x[0] + static_cast<double>(chance(50) ? uniform(-2, 2) : uniform(-n - 2, n + 2));
            }
            const int sign = chance(50) ? -1 : static_cast<int>(uniform(0, 1));
            const bool in_place = y[0] <= x[0] && chance(30);
            const double x0 = x[0], y0 = y[0];
            const double top = std::max(x0, y0);
            const Num y_in = y;

            Num z(n + 2, 777.0);
            z[n + 1] = kGuard;
            Num xi = x;
            Num& out = in_place ? xi : z;
            ln_addsub(xi.data(), y.data(), out.data(), n, sign);

            // The higher operand whole; the lower one cut where the higher one's n words end.
            const Num& hi = y0 <= x0 ? x : y;
            const Num& lo = y0 <= x0 ? y : x;
            const int d = static_cast<int>(std::fabs(x0 - y0));
            const int kept = d < n ? n - d : 0;
            const long base = static_cast<long>(top) - n;
            Mpz want, piece;
            prefix_value(want.v, hi, n, base, r_);
            prefix_value(piece.v, lo, kept, base, r_);
            const bool negate_hi = y0 > x0 && sign < 0;
            if (negate_hi) mpz_neg(want.v, want.v);
            if (sign < 0 && !negate_hi) mpz_sub(want.v, want.v, piece.v);
            else mpz_add(want.v, want.v, piece.v);

            const std::string where = "case " + std::to_string(i) + ": " + show(x.data(), n) +
                                      (sign < 0 ? " - " : " + ") + show(y.data(), n) + (in_place ? " in place" : "");
            ASSERT_TRUE(has_value(out, n, want.v, base, r_)) << where;
            ASSERT_TRUE(ln_normalized(out.data(), n, r_)) << where;
            ASSERT_EQ(out[n + 1], in_place ? kInGuard : kGuard) << where;
            if (mpz_sgn(want.v) == 0) {
                ASSERT_EQ(out[0], top - n) << where;
            } else {
                ASSERT_LE(out[0], top) << where;
            }
            if (!in_place) {
                ASSERT_EQ(xi, x) << where;
            }
            ASSERT_EQ(y, y_in) << where;
        }
    }
}

TEST_P(LinearRandom, LnIntAddSubKeepsWhatFitsBelowTheUnitsWord)
{
    for (const Radix& rx : all_radices()) {
        use(rx);
        SCOPED_TRACE("base " + std::to_string(rx.base));
        for (int i = 0; i < kCasesPerRadix; ++i) {
            const int n = word_count();
            Num y = number(n);
            const int a = chance(70) ? static_cast<int>(uniform(-3, 3)) : static_cast<int>(uniform(-r_ / 2, r_ / 2));
            const int sign = chance(50) ? -1 : static_cast<int>(uniform(0, 1));
            const int s = sign < 0 ? -1 : 1;
            y[0] = static_cast<double>(uniform(-n - 2, n));   // units position at most n when y[0] >= 1
            if (chance(20)) {
                // a - y with y's top word a at the units place: the top cancels.
                y[0] = 1;
                y[1] = s * a != 0 ? s * a : 1;
            }
            const Num y_in = y;
            Num z(n + 2, 777.0);
            z[n + 1] = kGuard;
            ln_int_addsub(a, y.data(), z.data(), n, sign);

            const double top = y[0] >= 1 ? y[0] : 1;
            const long base = static_cast<long>(top) - n;
            const int kept = y[0] >= 1 ? n : std::max(0, n - static_cast<int>(1 - y[0]));
            Mpz want, piece;
            prefix_value(piece.v, y, kept, base, r_);
            if (s < 0) mpz_neg(piece.v, piece.v);
            // a at the units place: R^(0 - base)
            mpz_ui_pow_ui(want.v, static_cast<unsigned long>(r_), static_cast<unsigned long>(-base));
            mpz_mul_si(want.v, want.v, a);
            mpz_add(want.v, want.v, piece.v);

            const std::string where = "case " + std::to_string(i) + ": " + std::to_string(a) +
                                      (sign < 0 ? " - " : " + ") + show(y.data(), n);
            ASSERT_TRUE(has_value(z, n, want.v, base, r_)) << where;
            ASSERT_TRUE(ln_normalized(z.data(), n, r_)) << where;
            ASSERT_EQ(z[n + 1], kGuard) << where;
            ASSERT_EQ(y, y_in) << where;
            if (mpz_sgn(want.v) == 0) {
                ASSERT_EQ(z[0], top - n) << where;
            } else {
                ASSERT_LE(z[0], top) << where;
            }
        }
    }
}


// z[1..n] = the integer v in the current normal form, the top word unreduced
// (v must fit: the top word stays well below 2^53).
void words_from_mpz(double* z, const mpz_t v, int n, int64_t r)
{
    Mpz q, rem;
    mpz_set(q.v, v);
    for (int j = n; j >= 2; --j) {
        mpz_tdiv_qr_ui(q.v, rem.v, q.v, static_cast<unsigned long>(r));
        long w = static_cast<long>(mpz_get_ui(rem.v));
        if (mpz_sgn(rem.v) < 0) w = -w;
        if (g_carry_mode < 0 ? 2 * w > r : false) {
            w -= static_cast<long>(r);
            mpz_add_ui(q.v, q.v, 1);
        } else if (g_carry_mode < 0 ? 2 * w < -r : w < 0) {
            w += static_cast<long>(r);
            mpz_sub_ui(q.v, q.v, 1);
        }
        z[j] = static_cast<double>(w);
    }
    z[1] = mpz_get_d(q.v);
}

TEST_P(LinearRandom, LnMulIntDropsOnlyTheRemainderOfTheLastWordWhenShifted)
{
    for (const Radix& rx : all_radices()) {
        use(rx);
        SCOPED_TRACE("base " + std::to_string(rx.base));
        for (int i = 0; i < kCasesPerRadix; ++i) {
            const int n = word_count();
            Num x = number(n, true);
            int m = small_int(chance(50) ? 20000 : 200);
            if (chance(15)) {
                // The top word times m lands on R exactly, or just below it.
                m = static_cast<int>(uniform(1, 3)) == 1 ? 2 : rx.base;
                const int64_t t = r_ % m == 0 ? r_ / m - static_cast<int64_t>(uniform(0, 1)) : r_ / m;
                x[1] = static_cast<double>(chance(50) ? t : -t);
                if (x[1] == 0) x[1] = 1;
            }
            const Num x_in = x;
            Num z(n + 2, 777.0);
            z[n + 1] = kGuard;
            ln_mul_int(x.data(), m, z.data(), n);

            // m x exactly, less, when the product of the top word reaches R, the
            // truncated remainder of the last word's product, which has no place.
            const bool shifted = std::fabs(x[1] * m) >= static_cast<double>(r_);
            const long base = static_cast<long>(x[0]) - n;
            Mpz want;
            words_value(want.v, x.data() + 1, n, r_);
            mpz_mul_si(want.v, want.v, m);
            if (shifted) {
                const int64_t last = static_cast<int64_t>(x[n]) * m;
                Mpz rem;
                mpz_set_si(rem.v, static_cast<long>(last % r_));
                mpz_sub(want.v, want.v, rem.v);
            }
            const std::string where = "case " + std::to_string(i) + ": " + show(x.data(), n) + " * " + std::to_string(m);
            ASSERT_TRUE(has_value(z, n, want.v, base, r_)) << where;
            ASSERT_TRUE(ln_normalized(z.data(), n, r_)) << where;
            ASSERT_NE(z[1], 0) << where;
            ASSERT_LE(z[0], x[0] + (shifted ? 1 : 0)) << where;
            ASSERT_EQ(z[n + 1], kGuard) << where;
            ASSERT_EQ(x, x_in) << where;
        }
    }
}

TEST_P(LinearRandom, LnDivIntIsWithinOneUnitOfTheLastWord)
{
    for (const Radix& rx : all_radices()) {
        use(rx);
        SCOPED_TRACE("base " + std::to_string(rx.base));
        for (int i = 0; i < kCasesPerRadix; ++i) {
            const int n = word_count();
            Num x = number(n, true);
            const int m = small_int(chance(60) ? 20000 : 2 * r_);
            if (chance(25)) {
                // A multiple of m: the quotient has to be exact.
                Num y = number(n);
                Mpz v;
                words_value(v.v, y.data() + 1, n, r_);
                mpz_mul_si(v.v, v.v, m);
                words_from_mpz(x.data(), v.v, n, r_);
                if (x[1] == 0) continue;
            }
            const Num x_in = x;
            const bool in_place = chance(30);
            Num z(n + 2, 777.0);
            z[n + 1] = kGuard;
            Num xi = x;
            Num& out = in_place ? xi : z;
            ln_div_int(xi.data(), m, out.data(), n);

            // When |m| > |top word| the quotient starts one word lower and
            // reaches one word further down. Each quotient word is truncated
            // toward zero with a remainder of its partial dividend's sign; with
            // balanced words those signs vary, so the quotient q is only known to
            // leave a remainder x - q m below |m|: it is exact when m divides x,
            // and the truncation of x / m when all words are non-negative.
            const int shift = std::fabs(static_cast<double>(m)) > std::fabs(x[1]) ? 1 : 0;
            const long base = static_cast<long>(x[0]) - n - shift;
            Mpz xs, q, diff, exact, rem;
            words_value(xs.v, x.data() + 1, n, r_);
            if (shift) mpz_mul_ui(xs.v, xs.v, static_cast<unsigned long>(r_));
            const std::string where = "case " + std::to_string(i) + ": " + show(x.data(), n) + " / " +
                                      std::to_string(m) + (in_place ? " in place" : "");
            ASSERT_TRUE(ln_value_at(q.v, out.data(), n, base, r_)) << where << " gives " << show(out.data(), n);
            mpz_mul_si(diff.v, q.v, m);
            mpz_sub(diff.v, xs.v, diff.v);   // x - q m
            ASSERT_LT(mpz_cmpabs_ui(diff.v, static_cast<unsigned long>(std::abs(m))), 0)
                << where << " gives " << show(out.data(), n);
            mpz_tdiv_qr_ui(exact.v, rem.v, xs.v, static_cast<unsigned long>(std::abs(m)));
            if (m < 0) mpz_neg(exact.v, exact.v);
            if (mpz_sgn(rem.v) == 0 || (!balanced() && mpz_sgn(xs.v) > 0 && m > 0)) {
                ASSERT_EQ(mpz_cmp(q.v, exact.v), 0) << where << " gives " << show(out.data(), n) << ", want "
                                                   << exact.str() << " units of R^" << base;
            }
            ASSERT_TRUE(ln_normalized(out.data(), n, r_)) << where;
            ASSERT_LE(out[0], x[0] - shift) << where;
            ASSERT_EQ(out[n + 1], in_place ? kInGuard : kGuard) << where;
            if (!in_place) {
                ASSERT_EQ(xi, x) << where;
            }
        }
    }
}

}  // namespace
