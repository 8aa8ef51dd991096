// Newton reciprocal, division and square root at the long lengths of real runs
// (2^14, 2^16 and 2^18 words, the last the largest FMT size), checked against
// GMP and MPFR with the same bounds as the shorter lengths (newton_oracle.h).
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <random>
#include <vector>

#include "longarith/longnum.h"
#include "longarith/newton.h"
#include "newton_oracle.h"
#include "support/fixtures.h"

namespace {

using namespace newton_check;

// At these lengths the products must still round to the right integers; the
// largest rounding error seen was 0.06 (R = 26^4, n = 2^18).
constexpr double kExactProducts = 0.2;

struct Shape {
    double radix;
    int n;
};

void PrintTo(const Shape& s, std::ostream* os) { *os << "R = " << static_cast<long>(s.radix) << ", n = " << s.n; }

class NewtonLong : public RadixTestWithParam<Shape> {
protected:
    void SetUp() override
    {
        use_radix(GetParam().radix);
        t_.assign(4 * GetParam().n + 8, 0.0);
    }

    std::vector<double> t_;
};

TEST_P(NewtonLong, ReciprocalAndQuotient)
{
    const double R = GetParam().radix;
    const int n = GetParam().n;
    std::mt19937_64 gen(static_cast<unsigned>(R) + n);
    const std::vector<double> p = random_longnum(n, R, gen), q = random_longnum(n, R, gen);
    std::vector<double> r(n + 1), out(n + 1);

    const double e_r = ln_reciprocal(q.data(), r.data(), n, t_.data());
    const double e_d = ln_divide(p.data(), q.data(), out.data(), n, t_.data());
    EXPECT_LT(e_r, kExactProducts);
    EXPECT_LT(e_d, kExactProducts);
    EXPECT_TRUE(is_normal_longnum(r, n, R));
    EXPECT_TRUE(is_normal_longnum(out, n, R));

    mpfr_t pv, qv, rv, ov, want;
    mpfr_inits2(2 * precision_for(n, R), pv, qv, rv, ov, want, static_cast<mpfr_ptr>(nullptr));
    longnum_value(pv, p.data(), n, R);
    longnum_value(qv, q.data(), n, R);
    longnum_value(rv, r.data(), n, R);
    longnum_value(ov, out.data(), n, R);

    mpfr_ui_div(want, 1, qv, MPFR_RNDN);
    const double units_r = units_of_last_word(rv, want, static_cast<long>(r[0]), n, R);
    EXPECT_LE(units_r, kReciprocalUnits);
    mpfr_div(want, pv, qv, MPFR_RNDN);
    const double units_d = units_of_last_word(ov, want, static_cast<long>(out[0]), n, R);
    EXPECT_LE(units_d, kQuotientUnits) << "p/q";
    std::printf("reciprocal off by %.4f units, quotient by %.4f, rounding errors %.3g %.3g\n", units_r, units_d, e_r,
                e_d);
    mpfr_clears(pv, qv, rv, ov, want, static_cast<mpfr_ptr>(nullptr));
}

TEST_P(NewtonLong, SquareRoots)
{
    const double R = GetParam().radix;
    const int n = GetParam().n;
    for (int m : {2, 10005}) {
        for (int flag : {-1, 1}) {
            std::vector<double> y(n + 1);
            const double err = ln_sqrt_int(m, y.data(), n, flag, t_.data());
            EXPECT_LT(err, kExactProducts);
            EXPECT_TRUE(is_normal_longnum(y, n, R));
            mpfr_t v, want;
            mpfr_inits2(precision_for(n, R), v, want, static_cast<mpfr_ptr>(nullptr));
            longnum_value(v, y.data(), n, R);
            mpfr_set_ui(want, m, MPFR_RNDN);
            if (flag < 0) mpfr_rec_sqrt(want, want, MPFR_RNDN);
            else mpfr_sqrt(want, want, MPFR_RNDN);
            const double units = units_of_last_word(v, want, static_cast<long>(y[0]), n, R);
            EXPECT_LE(units, flag < 0 ? kInverseRootUnits : kRootUnits) << "m = " << m << ", flag " << flag;
            std::printf("m = %d, flag %d: off by %.4f units, rounding error %.3g\n", m, flag, units, err);
            mpfr_clears(v, want, static_cast<mpfr_ptr>(nullptr));
        }
    }
}

std::vector<Shape> long_shapes()
{
    std::vector<Shape> shapes;
    for (double R : {456976.0, 177147.0, 100000.0, 238328.0})
        for (int n : {1 << 14, 1 << 16, 1 << 18}) shapes.push_back({R, n});
    return shapes;
}

std::string shape_name(const testing::TestParamInfo<Shape>& info)
{
    char name[48];
    std::snprintf(name, sizeof name, "R%ld_N%d", static_cast<long>(info.param.radix), info.param.n);
    return name;
}

INSTANTIATE_TEST_SUITE_P(Radices, NewtonLong, testing::ValuesIn(long_shapes()), shape_name);

}  // namespace
