// The three series: their constant tables, the exact leaf polynomials and the
// leaves of a block, checked against GMP in every radix of the program and up
// to beyond the largest term index a run within the capacity reaches; and the
// tables put through the closing formula against MPFR's Pi.
#include <gmp.h>
#include <mpfr.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "drm/driver.h"
#include "drm/series.h"
#include "drm/storage.h"
#include "longarith/longnum.h"
#include "longarith/mpz_words.h"
#include "support/fixtures.h"

namespace {

// Beyond the last term index of any run that fits the capacity (checked below).
constexpr int64_t kMaxTestedTerm = 400000;

struct Mpq {
    mpq_t v;
    Mpq() { mpq_init(v); }
    ~Mpq() { mpq_clear(v); }
    Mpq(const Mpq&) = delete;
    Mpq& operator=(const Mpq&) = delete;
};

// out = product of (m x + c) over the factors.
void poly_value(mpz_t out, const LinearFactor* factors, int count, int64_t x)
{
    mpz_set_ui(out, 1);
    Mpz f;
    for (int i = 0; i < count; ++i) {
        mpz_set_si(f.v, static_cast<long>(factors[i].m));
        mpz_mul_si(f.v, f.v, static_cast<long>(x));
        if (factors[i].c >= 0) mpz_add_ui(f.v, f.v, static_cast<unsigned long>(factors[i].c));
        else mpz_sub_ui(f.v, f.v, static_cast<unsigned long>(-static_cast<long>(factors[i].c)));
        mpz_mul(out, out, f.v);
    }
}

// The leaf values of term k: p(k+1), q(k) and s_k (B k + A).
void leaf_values(mpz_t p, mpz_t q, mpz_t t, const SeriesFormula& f, int64_t k)
{
    poly_value(p, f.num_factors, kNumFactorCount, k + 1);
    poly_value(q, f.den_factors, kDenFactorCount, k);
    Mpz a;
    mpz_set_d(t, f.slope);
    mpz_mul_si(t, t, static_cast<long>(k));
    mpz_set_d(a.v, f.intercept);
    mpz_add(t, t, a.v);
    if (f.alternating && k % 2 != 0) mpz_neg(t, t);
}

// Whole words, v[1..n-1] in the range of the current carry mode, and, when
// fits is asked for, the first word in the balanced range as well.
testing::AssertionResult words_normalized(const double* v, int n, int64_t r, bool fits = false)
{
    for (int i = 0; i < n; ++i) {
        if (std::trunc(v[i]) != v[i]) return testing::AssertionFailure() << "word " << i << " = " << v[i] << " not whole";
        if (i == 0 && !fits) continue;
        const bool ok = g_carry_mode < 0 ? std::fabs(v[i]) <= r / 2 : (v[i] >= 0 && v[i] <= r - 1);
        if (!ok) return testing::AssertionFailure() << "word " << i << " = " << v[i] << " outside the normal range";
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult has_value(const double* v, int n, const mpz_t want, int64_t r)
{
    Mpz got;
    words_value(got.v, v, n, r);
    if (mpz_cmp(got.v, want) == 0) return testing::AssertionSuccess();
    Mpz w;
    mpz_set(w.v, want);
    std::ostringstream words;
    for (int i = 0; i < n; ++i) words << ' ' << static_cast<long long>(v[i]);
    return testing::AssertionFailure() << "words" << words.str() << " are " << got.str() << ", want " << w.str();
}

class SeriesFixture : public RadixTest {
protected:
    void SetUp() override
    {
        saved_k_ = drm_k;
        use_radix(100000);
    }
    void TearDown() override { drm_k = saved_k_; }

private:
    double saved_k_ = 0;
};

// ---------------------------------------------------------------------------
// The tables.

// Degree and leading coefficient of a product of linear factors.
int leading(mpz_t lead, const LinearFactor* factors, int count)
{
    int degree = 0;
    mpz_set_ui(lead, 1);
    for (int i = 0; i < count; ++i) {
        if (factors[i].m != 0) {
            ++degree;
            mpz_mul_si(lead, lead, factors[i].m);
        } else {
            mpz_mul_si(lead, lead, factors[i].c);
        }
    }
    return degree;
}

TEST(SeriesTables, ConvergenceIsTheRatioOfTheLeadingCoefficientsOfQAndP)
{
    // 106720^3 / 8, 39204^2 / 16, 3528^2 / 16
    const double documented[kFormulaCount] = {151931373056000.0, 96059601.0, 777924.0};
    for (int fi = 0; fi < kFormulaCount; ++fi) {
        SCOPED_TRACE("formula ID " + std::to_string(fi + 1));
        const SeriesFormula& f = kSeriesFormulas[fi];
        Mpz lp, lq;
        EXPECT_EQ(leading(lp.v, f.num_factors, kNumFactorCount), 3);
        EXPECT_EQ(leading(lq.v, f.den_factors, kDenFactorCount), 3);
        Mpq ratio, conv;
        mpq_set_num(ratio.v, lq.v);
        mpq_set_den(ratio.v, lp.v);
        mpq_canonicalize(ratio.v);
        mpq_set_d(conv.v, f.convergence);
        EXPECT_TRUE(mpq_equal(ratio.v, conv.v)) << "convergence " << f.convergence;
        EXPECT_EQ(f.convergence, documented[fi]);
    }
}

TEST(SeriesTables, ClosingConstantsHoldTheFirstTermAndP1)
{
    for (int fi = 0; fi < kFormulaCount; ++fi) {
        SCOPED_TRACE("formula ID " + std::to_string(fi + 1));
        const SeriesFormula& f = kSeriesFormulas[fi];
        const ClosingConstants& c = kClosingConstants[fi];
        EXPECT_EQ(static_cast<double>(c.const_term), f.intercept);
        Mpz p1;
        poly_value(p1.v, f.num_factors, kNumFactorCount, 1);
        EXPECT_EQ(mpz_cmp_si(p1.v, c.tail_factor), 0) << "p(1) = " << p1.str();
    }
}

// The series through the closing formula, with the first terms only: a check
// of the tables that does not go through the program's arithmetic.
TEST(SeriesTables, SevenTermsThroughTheClosingFormulaGivePi)
{
    const int min_digits[kFormulaCount] = {95, 50, 36};
    const mpfr_prec_t prec = 1024;
    mpfr_t pi, approx, num, den, err;
    mpfr_inits2(prec, pi, approx, num, den, err, static_cast<mpfr_ptr>(nullptr));
    mpfr_const_pi(pi, MPFR_RNDN);
    for (int fi = 0; fi < kFormulaCount; ++fi) {
        SCOPED_TRACE("formula ID " + std::to_string(fi + 1));
        const SeriesFormula& f = kSeriesFormulas[fi];
        const ClosingConstants& c = kClosingConstants[fi];
        double prev_digits = 0;
        for (int terms = 1; terms <= 9; ++terms) {
            // S = sum over k < terms of s_k (B k + A) a_k, a_k = a_(k-1) p(k) / q(k).
            Mpq sum, a, term, ratio;
            mpq_set_ui(a.v, 1, 1);
            Mpz pk, qk, tk;
            for (int k = 0; k < terms; ++k) {
                if (k > 0) {
                    poly_value(pk.v, f.num_factors, kNumFactorCount, k);
                    poly_value(qk.v, f.den_factors, kDenFactorCount, k);
                    mpq_set_num(ratio.v, pk.v);
                    mpq_set_den(ratio.v, qk.v);
                    mpq_canonicalize(ratio.v);
                    mpq_mul(a.v, a.v, ratio.v);
                }
                mpz_set_d(tk.v, f.slope);
                mpz_mul_si(tk.v, tk.v, k);
                mpz_set_d(pk.v, f.intercept);
                mpz_add(tk.v, tk.v, pk.v);
                if (f.alternating && k % 2 != 0) mpz_neg(tk.v, tk.v);
                mpq_set_z(term.v, tk.v);
                mpq_mul(term.v, term.v, a.v);
                mpq_add(sum.v, sum.v, term.v);
            }

            // The same sum the way the blocks build it: the tail U(1) from the
            // leaves, U(k) = (t_k + p(k+1) U(k+1)) / q(k), then c4 + c5 U(1).
            Mpq tail, piece;
            Mpz p, q, t;
            for (int k = terms - 1; k >= 1; --k) {
                leaf_values(p.v, q.v, t.v, f, k);
                mpq_set_z(piece.v, p.v);
                mpq_mul(tail.v, tail.v, piece.v);
                mpq_set_z(piece.v, t.v);
                mpq_add(tail.v, tail.v, piece.v);
                mpq_set_z(piece.v, q.v);
                mpq_div(tail.v, tail.v, piece.v);
            }
            Mpq closed;
            mpq_set_si(piece.v, c.tail_factor, 1);
            mpq_mul(closed.v, tail.v, piece.v);
            mpq_set_si(piece.v, c.const_term, 1);
            mpq_add(closed.v, closed.v, piece.v);
            EXPECT_TRUE(mpq_equal(closed.v, sum.v)) << terms << " terms: c4 + c5 U(1) is not the series";

            // Pi = c0 c1 sqrt(c2) / (c3 S)
            mpfr_set_ui(num, static_cast<unsigned long>(c.sqrt_arg), MPFR_RNDN);
            mpfr_sqrt(num, num, MPFR_RNDN);
            mpfr_mul_si(num, num, static_cast<long>(c.num_factor) * c.sqrt_mul, MPFR_RNDN);
            mpfr_set_q(den, sum.v, MPFR_RNDN);
            mpfr_mul_si(den, den, c.den_factor, MPFR_RNDN);
            mpfr_div(approx, num, den, MPFR_RNDN);
            mpfr_sub(err, approx, pi, MPFR_RNDN);
            mpfr_abs(err, err, MPFR_RNDN);
            ASSERT_GT(mpfr_sgn(err), 0);
            mpfr_log10(err, err, MPFR_RNDN);
            const double digits = -mpfr_get_d(err, MPFR_RNDN);

            // Each term adds about log10(convergence) digits.
            const double per_term = std::log10(f.convergence);
            EXPECT_NEAR(digits, terms * per_term, 3.0) << terms << " terms";
            if (terms > 1) {
                EXPECT_NEAR(digits - prev_digits, per_term, 0.5) << terms << " terms";
            }
            prev_digits = digits;
            if (terms == 7) {
                EXPECT_GE(digits, min_digits[fi]);
            }
        }
    }
    mpfr_clears(pi, approx, num, den, err, static_cast<mpfr_ptr>(nullptr));
}

// ---------------------------------------------------------------------------
// drm_leaf_poly

class LeafPoly : public SeriesFixture, public testing::WithParamInterface<int> {};

std::string mode_name(const testing::TestParamInfo<int>& info) { return info.param < 0 ? "Balanced" : "NonNegative"; }

INSTANTIATE_TEST_SUITE_P(CarryModes, LeafPoly, testing::Values(-1, 1), mode_name);

// Number of radix-r words of |v| (0 for 0).
int64_t words_of(const mpz_t v, int64_t r)
{
    Mpz a;
    mpz_abs(a.v, v);
    int64_t n = 0;
    while (mpz_sgn(a.v) != 0) {
        mpz_tdiv_q_ui(a.v, a.v, static_cast<unsigned long>(r));
        ++n;
    }
    return n;
}

TEST_P(LeafPoly, IsTheExactProductOfTheFactors)
{
    g_carry_mode = GetParam();
    std::mt19937_64 rng(GetParam() < 0 ? 11 : 13);
    auto uniform = [&rng](int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng); };
    for (const Radix& rx : all_radices()) {
        g_radix = static_cast<double>(rx.r);
        SCOPED_TRACE("base " + std::to_string(rx.base));
        for (int i = 0; i < 200; ++i) {
            const int count = static_cast<int>(uniform(0, 6));
            LinearFactor factors[6];
            for (int j = 0; j < count; ++j) {
                factors[j].m = static_cast<int>(uniform(0, 3) == 0 ? uniform(-1, 1) : uniform(-1000, 1000));
                factors[j].c = static_cast<int>(uniform(0, 3) == 0 ? uniform(-10, 10) : uniform(-1000000, 1000000));
            }
            const int64_t x = uniform(0, 2) == 0 ? uniform(-20, 20) : uniform(-1000000, 1000000);

            // Enough words for the product, and a top word that times each
            // next factor stays far below 2^53; sometimes no word to spare.
            Mpz partial, f, want;
            poly_value(want.v, factors, count, x);
            int64_t len = std::max<int64_t>(1, words_of(want.v, rx.r));
            for (;;) {
                bool ok = true;
                mpz_set_ui(partial.v, 1);
                Mpz top, lim;
                mpz_ui_pow_ui(lim.v, static_cast<unsigned long>(rx.r), static_cast<unsigned long>(len - 1));
                for (int j = 0; j < count && ok; ++j) {
                    poly_value(f.v, factors + j, 1, x);
                    mpz_tdiv_q(top.v, partial.v, lim.v);
                    mpz_abs(top.v, top.v);
                    mpz_add_ui(top.v, top.v, 1);
                    mpz_mul(top.v, top.v, f.v);
                    ok = mpz_sizeinbase(top.v, 2) < 50;
                    mpz_mul(partial.v, partial.v, f.v);
                }
                if (ok) break;
                ++len;
            }
            if (uniform(0, 2) == 0) len += uniform(1, 3);

            std::vector<double> out(len + 1, 777.0);
            out[len] = -1.5;   // guard
            drm_leaf_poly(out.data(), static_cast<double>(x), factors, static_cast<int>(len), count);
            const std::string where = "case " + std::to_string(i) + ", x = " + std::to_string(x) + ", " +
                                      std::to_string(count) + " factors, " + std::to_string(len) + " words";
            ASSERT_TRUE(has_value(out.data(), static_cast<int>(len), want.v, rx.r)) << where;
            ASSERT_TRUE(words_normalized(out.data(), static_cast<int>(len), rx.r)) << where;
            ASSERT_EQ(out[len], -1.5) << where;
        }
    }
}

// ---------------------------------------------------------------------------
// Leaves of a block, R = 100000.

using Leaves = SeriesFixture;

TEST_F(Leaves, OfTheFirstTermInTheThreeSeries)
{
    struct Case {
        long long p, q, t;
    };
    const Case cases[kFormulaCount] = {
        {231, 10939058860032000LL, -558731543},
        {105, 3073907232LL, 27493},
        {105, 24893568LL, -22583},
    };
    for (int fi = 0; fi < kFormulaCount; ++fi) {
        SCOPED_TRACE("formula ID " + std::to_string(fi + 1));
        drm_k = 1;
        drm_leaves(fi, 1);
        Mpz want;
        mpz_set_si(want.v, static_cast<long>(cases[fi].p));
        EXPECT_TRUE(has_value(blk_p + 1, kLeafWords, want.v, 100000));
        mpz_set_si(want.v, static_cast<long>(cases[fi].q));
        EXPECT_TRUE(has_value(blk_q + 1, kLeafWords, want.v, 100000));
        mpz_set_si(want.v, static_cast<long>(cases[fi].t));
        EXPECT_TRUE(has_value(blk_t + 1, kLeafWords, want.v, 100000));
        EXPECT_TRUE(words_normalized(blk_p + 1, kLeafWords, 100000, true));
        EXPECT_TRUE(words_normalized(blk_q + 1, kLeafWords, 100000, true));
        EXPECT_TRUE(words_normalized(blk_t + 1, kLeafWords, 100000, true));
    }

    // The words of the Chudnovsky leaves.
    drm_k = 1;
    drm_leaves(0, 1);
    EXPECT_EQ(std::vector<double>(blk_p + 1, blk_p + 9), (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 231}));
    EXPECT_EQ(std::vector<double>(blk_q + 1, blk_q + 9), (std::vector<double>{0, 0, 0, 0, 11, -6094, -11400, 32000}));
    EXPECT_EQ(std::vector<double>(blk_t + 1, blk_t + 9), (std::vector<double>{0, 0, 0, 0, 0, 0, -5587, -31543}));
}

int leaf_sign(int leaf)
{
    Mpz v;
    words_value(v.v, blk_t + 1 + kLeafWords * leaf, kLeafWords, 100000);
    return mpz_sgn(v.v);
}

TEST_F(Leaves, SignsAlternateInIds1And3AndNotIn2)
{
    const int want[kFormulaCount][4] = {{-1, 1, -1, 1}, {1, 1, 1, 1}, {-1, 1, -1, 1}};
    for (int fi = 0; fi < kFormulaCount; ++fi) {
        drm_k = 1;
        drm_leaves(fi, 4);
        for (int j = 0; j < 4; ++j) EXPECT_EQ(leaf_sign(j), want[fi][j]) << "ID " << fi + 1 << ", k = " << j + 1;
    }
}

TEST_F(Leaves, SignFollowsTheTermIndexAcrossBlocks)
{
    // Blocks of one leaf, from the last term back to the first, as the driver runs them.
    for (int fi = 0; fi < kFormulaCount; ++fi) {
        const int odd_sign = kSeriesFormulas[fi].alternating ? -1 : 1;
        drm_k = 2;
        drm_leaves(fi, 1);
        EXPECT_EQ(leaf_sign(0), 1) << "ID " << fi + 1 << ", k = 2";
        EXPECT_EQ(drm_k, 3);
        drm_k = 1;
        drm_leaves(fi, 1);
        EXPECT_EQ(leaf_sign(0), odd_sign) << "ID " << fi + 1 << ", k = 1";
    }
    // Blocks of three leaves: k = 4, 5, 6 then 1, 2, 3.
    drm_k = 4;
    drm_leaves(0, 3);
    EXPECT_EQ(leaf_sign(0), 1);
    EXPECT_EQ(leaf_sign(1), -1);
    EXPECT_EQ(leaf_sign(2), 1);
    drm_k = 1;
    drm_leaves(0, 3);
    EXPECT_EQ(leaf_sign(0), -1);
    EXPECT_EQ(leaf_sign(1), 1);
    EXPECT_EQ(leaf_sign(2), -1);
}

TEST_F(Leaves, FillWordsOneToEightLAndAdvanceTheTermIndexByL)
{
    constexpr double kMark = -77.5;
    const int sizes[] = {8, 9, 15, 16, 24, 64, 100, 1024, 262144};
    const double starts[] = {1, 1000};
    double* const arrays[] = {blk_p, blk_q, blk_t};
    for (const int size : sizes) {
        for (const double k0 : starts) {
            SCOPED_TRACE("FMT size " + std::to_string(size) + ", k0 " + std::to_string(static_cast<int>(k0)));
            const int leaves = size / 8;
            for (double* a : arrays) {
                a[0] = kMark;
                a[8 * leaves + 1] = kMark;
            }
            drm_k = k0;
            drm_leaves(1, size / 8);
            EXPECT_EQ(drm_k, k0 + leaves);
            for (double* a : arrays) {
                EXPECT_EQ(a[0], kMark) << "word 0 is the exponent's place";
                EXPECT_EQ(a[8 * leaves + 1], kMark) << "word after the last leaf";
            }
            // Leaf j holds term k0 + j - 1: spot-check the first, a middle and the last.
            const int probe[] = {0, leaves / 2, leaves - 1};
            for (const int j : probe) {
                Mpz p, q, t;
                leaf_values(p.v, q.v, t.v, kSeriesFormulas[1], static_cast<int64_t>(k0) + j);
                EXPECT_TRUE(has_value(blk_p + 1 + 8 * j, kLeafWords, p.v, 100000)) << "leaf " << j;
                EXPECT_TRUE(has_value(blk_q + 1 + 8 * j, kLeafWords, q.v, 100000)) << "leaf " << j;
                EXPECT_TRUE(has_value(blk_t + 1 + 8 * j, kLeafWords, t.v, 100000)) << "leaf " << j;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Every radix, terms up to beyond the capacity's reach.

// The last term index of a run of the largest FMT size (2^18 words, NE = 2^18 - 4).
int64_t capacity_last_term(const Radix& rx, int formula_index)
{
    const int fmt_size = 1 << 18;
    const int steps = drm_step_count(fmt_size - 4, rx.digits, rx.base, kSeriesFormulas[formula_index].convergence, fmt_size);
    return static_cast<int64_t>(steps) * (fmt_size / 8);
}

TEST(LeafRange, CapacityRunsStayBelowTheTestedTermIndex)
{
    int64_t most = 0;
    for (const Radix& rx : all_radices())
        for (int fi = 0; fi < kFormulaCount; ++fi) most = std::max(most, capacity_last_term(rx, fi));
    EXPECT_GT(most, 100000);   // the range below is not trivially small
    EXPECT_LE(most, kMaxTestedTerm);
}

TEST_F(Leaves, AreExactAndFitEightBalancedWordsInEveryRadix)
{
    std::mt19937_64 rng(2024);
    auto uniform = [&rng](int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng); };
    for (const Radix& rx : all_radices()) {
        g_radix = static_cast<double>(rx.r);
        for (int fi = 0; fi < kFormulaCount; ++fi) {
            const SeriesFormula& f = kSeriesFormulas[fi];
            std::vector<int64_t> starts = {1, 2, 3, capacity_last_term(rx, fi) - 5, kMaxTestedTerm - 5};
            for (int i = 0; i < 4; ++i) starts.push_back(uniform(1, 2000));
            for (int i = 0; i < 8; ++i) starts.push_back(uniform(1, kMaxTestedTerm - 5));
            for (const int64_t k0 : starts) {
                const int leaves = static_cast<int>(uniform(1, 6));
                drm_k = static_cast<double>(k0);
                drm_leaves(fi, leaves);
                ASSERT_EQ(drm_k, static_cast<double>(k0 + leaves));
                for (int j = 0; j < leaves; ++j) {
                    const int64_t k = k0 + j;
                    const std::string where = "base " + std::to_string(rx.base) + ", ID " + std::to_string(fi + 1) +
                                              ", k = " + std::to_string(k);
                    Mpz p, q, t;
                    leaf_values(p.v, q.v, t.v, f, k);
                    const double* lp = blk_p + 1 + kLeafWords * j;
                    const double* lq = blk_q + 1 + kLeafWords * j;
                    const double* lt = blk_t + 1 + kLeafWords * j;
                    ASSERT_TRUE(has_value(lp, kLeafWords, p.v, rx.r)) << where << ", p-leaf";
                    ASSERT_TRUE(has_value(lq, kLeafWords, q.v, rx.r)) << where << ", q-leaf";
                    ASSERT_TRUE(has_value(lt, kLeafWords, t.v, rx.r)) << where << ", t-leaf";
                    ASSERT_TRUE(words_normalized(lp, kLeafWords, rx.r, true)) << where << ", p-leaf";
                    ASSERT_TRUE(words_normalized(lq, kLeafWords, rx.r, true)) << where << ", q-leaf";
                    ASSERT_TRUE(words_normalized(lt, kLeafWords, rx.r, true)) << where << ", t-leaf";
                }
            }
        }
    }
}

}  // namespace
