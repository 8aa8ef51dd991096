// Newton reciprocal, division and square root of a small integer, checked
// against exact values from GMP and MPFR over the radices of several bases
// (10^5, 26^4, 3^11, 62^3, 27^3, 4^9) and lengths 2 to 4096 words, powers of
// two and others.
//
// Accuracy is measured in units of the last word of the result, R^(e-n) for a
// result with exponent e and n words; newton_oracle.h gives the bounds and the
// reasons for them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "longarith/longnum.h"
#include "longarith/newton.h"
#include "newton_oracle.h"
#include "support/fixtures.h"

namespace {

using namespace newton_check;

// Every product of these lengths must round its coefficients to the right
// integers for the bounds to hold; a returned rounding error far below 1/2
// shows that it did. The largest seen here is 0.016 (R = 3^11, n = 4096).
constexpr double kExactProducts = 0.1;

struct Area {
    std::vector<double> t;
    explicit Area(int n) : t(4 * n + 8, 0.0) {}
};

// ---------------------------------------------------------------------------
// Worked cases, radix 10^5.

TEST(NewtonWorked, ReciprocalOfThreeIsAllThrees)
{
    RadixScope radix(100000);
    for (int n : {2, 8}) {
        std::vector<double> x(n + 1, 0.0), y(n + 1);
        x[0] = 1;
        x[1] = 3;
        Area a(n);
        ln_reciprocal(x.data(), y.data(), n, a.t.data());
        EXPECT_EQ(y[0], 0) << "n = " << n;
        for (int j = 1; j <= n; ++j) EXPECT_EQ(y[j], 33333) << "n = " << n << ", word " << j;
    }
}

TEST(NewtonWorked, SquareRootOfTwo)
{
    RadixScope radix(100000);
    const int n = 8;
    std::vector<double> y(n + 1);
    Area a(n);
    ln_sqrt_int(2, y.data(), n, 1, a.t.data());
    // sqrt 2 = 1.41421 35623 73095 04880 16887 24209 69807 ..., in balanced words.
    const double expected[] = {1, 1, 41421, 35624, -26905, 4880, 16887, 24210};
    for (int j = 0; j < n; ++j) EXPECT_EQ(y[j], expected[j]) << "word " << j;
    EXPECT_LE(std::fabs(y[8] - (-30192)), kRootUnits) << y[8];
}

TEST(NewtonWorked, InverseSquareRootGivesSameRoundingErrorAsSquareRoot)
{
    for (double R : {100000.0, 456976.0, 19683.0}) {
        RadixScope radix(R);
        for (int m : {2, 3, 10005}) {
            const int n = 16;
            std::vector<double> inv(n + 1), root(n + 1);
            Area a(n), b(n);
            const double e_inv = ln_sqrt_int(m, inv.data(), n, -1, a.t.data());
            const double e_root = ln_sqrt_int(m, root.data(), n, 1, b.t.data());
            EXPECT_EQ(e_inv, e_root) << "R = " << R << ", m = " << m;

            mpfr_t v, want;
            mpfr_inits2(precision_for(n, R), v, want, static_cast<mpfr_ptr>(nullptr));
            longnum_value(v, inv.data(), n, R);
            mpfr_set_ui(want, m, MPFR_RNDN);
            mpfr_rec_sqrt(want, want, MPFR_RNDN);
            EXPECT_LE(units_of_last_word(v, want, static_cast<long>(inv[0]), n, R), kInverseRootUnits)
                << "1/sqrt(" << m << "), R = " << R;
            mpfr_clears(v, want, static_cast<mpfr_ptr>(nullptr));
        }
    }
}

// Quotients with a finite expansion in the radix come out exact: the start
// value is already the quotient and every correction is zero.
TEST(NewtonWorked, ExactReciprocalsAreExact)
{
    struct Case {
        double radix;
        double exponent, top;        // the divisor: top * R^(exponent - 1)
        double y_exponent, y_top;    // its reciprocal, all other words zero
    } const cases[] = {
        {100000, 1, 4, 0, 25000},      // 1/4
        {100000, 1, 16, 0, 6250},      // 1/16
        {100000, 2, 2, -1, 50000},     // 1/(2R)
        {100000, -1, 2, 2, 50000},     // 1/(2 R^-2)
        {177147, 1, 3, 0, 59049},      // 3^11: 1/3
        {19683, 1, 27, 0, 729},        // 3^9: 1/27
        {262144, 1, -2, 0, -131072},   // 4^9: -1/2
        {238328, 1, 8, 0, 29791},      // 62^3: 1/8
    };
    for (const Case& c : cases) {
        RadixScope radix(c.radix);
        for (int n : {2, 4, 32}) {
            std::vector<double> x(n + 1, 0.0), y(n + 1);
            x[0] = c.exponent;
            x[1] = c.top;
            Area a(n);
            ln_reciprocal(x.data(), y.data(), n, a.t.data());
            std::vector<double> want(n + 1, 0.0);
            want[0] = c.y_exponent;
            want[1] = c.y_top;
            EXPECT_EQ(y, want) << "R = " << c.radix << ", divisor " << c.top << ", n = " << n;
        }
    }
}

// ---------------------------------------------------------------------------
// The scratch area is shared by all operations of a run; what it held before
// must not leak into a result.

void fill_with_garbage(std::vector<double>& v, unsigned seed)
{
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> any(-1e12, 1e12);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = (i % 7 == 3) ? std::numeric_limits<double>::quiet_NaN() : std::round(any(gen));
}

TEST(NewtonScratch, ResultsDoNotDependOnPriorScratchContent)
{
    for (double R : {100000.0, 456976.0, 177147.0}) {
        RadixScope radix(R);
        for (int n : {2, 8, 256}) {
            std::mt19937_64 gen(static_cast<unsigned>(R) + n);
            const std::vector<double> p = random_longnum(n, R, gen), q = random_longnum(n, R, gen);
            Area clean(n), dirty(n);
            fill_with_garbage(dirty.t, 1);
            std::vector<double> y_clean(n + 1, 0.0), y_dirty(n + 1);

            for (int m : {2, 10005}) {
                for (int flag : {-1, 1}) {
                    fill_with_garbage(y_dirty, 3);
                    const double e1 = ln_sqrt_int(m, y_clean.data(), n, flag, clean.t.data());
                    const double e2 = ln_sqrt_int(m, y_dirty.data(), n, flag, dirty.t.data());
                    EXPECT_EQ(y_clean, y_dirty) << "sqrt " << m << ", flag " << flag << ", R = " << R << ", n = " << n;
                    EXPECT_EQ(e1, e2);
                    fill_with_garbage(dirty.t, 4);
                }
            }

            fill_with_garbage(y_dirty, 6);
            const double r1 = ln_reciprocal(q.data(), y_clean.data(), n, clean.t.data());
            const double r2 = ln_reciprocal(q.data(), y_dirty.data(), n, dirty.t.data());
            EXPECT_EQ(y_clean, y_dirty) << "reciprocal, R = " << R << ", n = " << n;
            EXPECT_EQ(r1, r2);

            fill_with_garbage(dirty.t, 7);
            fill_with_garbage(y_dirty, 9);
            const double d1 = ln_divide(p.data(), q.data(), y_clean.data(), n, clean.t.data());
            const double d2 = ln_divide(p.data(), q.data(), y_dirty.data(), n, dirty.t.data());
            EXPECT_EQ(y_clean, y_dirty) << "quotient, R = " << R << ", n = " << n;
            EXPECT_EQ(d1, d2);
        }
    }
}

// ---------------------------------------------------------------------------
// Every radix with lengths 2 to 4096: the powers of two, and lengths between
// them, whose half lengths round up.

struct Shape {
    double radix;
    int n;
};

void PrintTo(const Shape& s, std::ostream* os) { *os << "R = " << static_cast<long>(s.radix) << ", n = " << s.n; }

class NewtonAtLength : public RadixTestWithParam<Shape> {
protected:
    void SetUp() override { use_radix(GetParam().radix); }

    // Random operands per test: many at short lengths, a few at long ones.
    int trials() const { return GetParam().n <= 64 ? 40 : GetParam().n <= 512 ? 8 : 3; }

    // Checks y = ln_reciprocal(x) against 1/x; returns the error in units.
    double check_reciprocal(const std::vector<double>& x, double bound)
    {
        const double R = GetParam().radix;
        const int n = GetParam().n;
        const std::vector<double> x_before = x;
        std::vector<double> y(n + 1);
        Area a(n);
        const double err = ln_reciprocal(x.data(), y.data(), n, a.t.data());
        EXPECT_EQ(x, x_before) << "the divisor was changed";
        EXPECT_TRUE(is_normal_longnum(y, n, R));
        EXPECT_GE(err, 0);
        EXPECT_LT(err, kExactProducts);

        mpfr_t xv, yv, want;
        mpfr_inits2(precision_for(n, R), xv, yv, want, static_cast<mpfr_ptr>(nullptr));
        longnum_value(xv, x.data(), n, R);
        longnum_value(yv, y.data(), n, R);
        mpfr_ui_div(want, 1, xv, MPFR_RNDN);
        const double units = units_of_last_word(yv, want, static_cast<long>(y[0]), n, R);
        EXPECT_LE(units, bound) << "top words of x: " << x[1] << ", " << (n >= 2 ? x[2] : 0) << "; y1 = " << y[1];
        mpfr_clears(xv, yv, want, static_cast<mpfr_ptr>(nullptr));
        return units;
    }
};

TEST_P(NewtonAtLength, ReciprocalOfRandomDivisors)
{
    const Shape s = GetParam();
    std::mt19937_64 gen(static_cast<unsigned>(s.radix) * 31 + s.n);
    for (int i = 0; i < trials(); ++i) check_reciprocal(random_longnum(s.n, s.radix, gen), kReciprocalUnits);
}

// Top word 1 or -1: 1/x then fills its top word with R/2 to 2R units (2R when
// the next word is near -R/2 times the sign), the hardest start for the
// iteration. Balanced integers such as R - 5 = (1, -5) look like this.
TEST_P(NewtonAtLength, ReciprocalOfDivisorsWithTopWordOne)
{
    const Shape s = GetParam();
    std::mt19937_64 gen(static_cast<unsigned>(s.radix) * 17 + s.n);
    for (int i = 0; i < trials(); ++i) {
        std::vector<double> x = random_longnum(s.n, s.radix, gen);
        x[1] = (i % 2 == 0) ? 1 : -1;
        if (i % 4 < 2) x[2] = -x[1] * std::fabs(x[2]);   // next word of opposite sign: 1/x above R units
        if (i % 8 == 0) x[2] = -x[1] * std::floor(s.radix / 2);
        check_reciprocal(x, kReciprocalTopWordOneUnits);
    }
}

TEST_P(NewtonAtLength, QuotientOfAnyTwoNumbers)
{
    const Shape s = GetParam();
    const double R = s.radix;
    const int n = s.n;
    std::mt19937_64 gen(static_cast<unsigned>(R) * 13 + n);
    for (int i = 0; i < trials(); ++i) {
        std::vector<double> a = random_longnum(n, R, gen), b = random_longnum(n, R, gen);
        if (i % 4 == 1) b[1] = i % 8 == 1 ? 1 : -1;                       // the hardest divisor
        if (i % 4 == 2) b[1] = std::floor(R * 1.9);                      // a top word above R
        if (i % 3 == 0) a[1] = std::floor(R * 2.7) * (i % 2 ? 1 : -1);   // so is the dividend's
        const std::vector<double> a_before = a, b_before = b;
        std::vector<double> q(n + 1);
        Area area(n);
        fill_with_garbage(area.t, i);
        const double err = ln_divide(a.data(), b.data(), q.data(), n, area.t.data());
        EXPECT_EQ(a, a_before) << "the dividend was changed";
        EXPECT_EQ(b, b_before) << "the divisor was changed";
        EXPECT_TRUE(is_normal_longnum(q, n, R));
        EXPECT_GE(err, 0);
        EXPECT_LT(err, kExactProducts);

        mpfr_t av, bv, qv, want;
        mpfr_inits2(precision_for(n, R) + 64, av, bv, qv, want, static_cast<mpfr_ptr>(nullptr));
        longnum_value(av, a.data(), n, R);
        longnum_value(bv, b.data(), n, R);
        longnum_value(qv, q.data(), n, R);
        mpfr_div(want, av, bv, MPFR_RNDN);
        EXPECT_LE(units_of_last_word(qv, want, static_cast<long>(q[0]), n, R), kQuotientUnits)
            << "trial " << i << ": top words " << a[1] << " / " << b[1];
        mpfr_clears(av, bv, qv, want, static_cast<mpfr_ptr>(nullptr));
    }
}

TEST_P(NewtonAtLength, SquareRootAndInverseOfSmallIntegers)
{
    const Shape s = GetParam();
    const double R = s.radix;
    const int n = s.n;
    // Small and large, perfect squares (144, 961, 65536), the root of the
    // Chudnovsky formula (10005), and 99991, above some radices.
    for (int m : {2, 3, 5, 10, 99, 144, 961, 10005, 65536, 99991}) {
        for (int flag : {-1, 1}) {
            std::vector<double> y(n + 1);
            Area a(n);
            const double err = ln_sqrt_int(m, y.data(), n, flag, a.t.data());
            EXPECT_TRUE(is_normal_longnum(y, n, R)) << "m = " << m << ", flag " << flag;
            EXPECT_GE(err, 0);
            EXPECT_LT(err, kExactProducts);

            mpfr_t v, want;
            mpfr_inits2(precision_for(n, R), v, want, static_cast<mpfr_ptr>(nullptr));
            longnum_value(v, y.data(), n, R);
            mpfr_set_ui(want, m, MPFR_RNDN);
            if (flag < 0) mpfr_rec_sqrt(want, want, MPFR_RNDN);
            else mpfr_sqrt(want, want, MPFR_RNDN);
            const double units = units_of_last_word(v, want, static_cast<long>(y[0]), n, R);
            EXPECT_LE(units, flag < 0 ? kInverseRootUnits : kRootUnits) << "m = " << m << ", flag " << flag;
            mpfr_clears(v, want, static_cast<mpfr_ptr>(nullptr));
        }
    }
}

std::vector<Shape> all_shapes()
{
    std::vector<Shape> shapes;
    for (double R : {100000.0, 456976.0, 177147.0, 238328.0, 19683.0, 262144.0}) {
        for (int n = 2; n <= 4096; n *= 2) shapes.push_back({R, n});
        for (int n : {3, 5, 6, 7, 9, 17, 100, 255, 1000, 1025, 4095}) shapes.push_back({R, n});
    }
    return shapes;
}

std::string shape_name(const testing::TestParamInfo<Shape>& info)
{
    char name[48];
    std::snprintf(name, sizeof name, "R%ld_N%d", static_cast<long>(info.param.radix), info.param.n);
    return name;
}

INSTANTIATE_TEST_SUITE_P(Radices, NewtonAtLength, testing::ValuesIn(all_shapes()), shape_name);

}  // namespace
