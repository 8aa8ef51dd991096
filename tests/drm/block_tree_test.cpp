// The block computation: drm_block's P, Q and T against the series summed
// exactly with GMP, for the three formulas, FMT sizes from 8 to 4096, several
// radices and starting terms; worked blocks word by word; one merge level alone.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "drm/block_tree.h"
#include "drm/series.h"
#include "drm/storage.h"
#include "longarith/check.h"
#include "longarith/longnum.h"
#include "longarith/mpz_words.h"
#include "support/fixtures.h"

namespace {

// ------------------------------------------------------------- the series
//
// Term ratio a_k / a_(k-1) = p(k) / q(k) and linear term s_k (B k + A), from
// the series themselves rather than from the program's factor table:
//   Chudnovsky:      (6k)! / ((3k)! (k!)^3 (-640320^3)^k): p = (2k-1)(6k-5)(6k-1), q = k^3 640320^3 / 24
//   Fast-Ramanujan:  (4k)! / ((k!)^4 396^(4k)):            p = (2k-1)(4k-3)(4k-1), q = k^3 396^4 / 8
//   Free-Sqrt:       (4k)! / ((k!)^4 4^(4k) 882^(2k)):     p = (2k-1)(4k-3)(4k-1), q = k^3 4^4 882^2 / 8

struct Series {
    const char* name;
    long slope;        // B
    long intercept;    // A
    bool alternating;  // s_k = (-1)^k
};

const Series kSeries[kFormulaCount] = {
    {"Chudnovsky", 545140134, 13591409, true},
    {"FastRamanujan", 26390, 1103, false},
    {"FreeSqrt", 21460, 1123, true},
};

Mpz p_of(int formula, long x)
{
    Mpz r(2 * x - 1);
    if (formula == 0) {
        mpz_mul_si(r.get(), r.get(), 6 * x - 5);
        mpz_mul_si(r.get(), r.get(), 6 * x - 1);
    } else {
        mpz_mul_si(r.get(), r.get(), 4 * x - 3);
        mpz_mul_si(r.get(), r.get(), 4 * x - 1);
    }
    return r;
}

Mpz q_of(int formula, long x)
{
    Mpz c;
    if (formula == 0) {
        mpz_ui_pow_ui(c.get(), 640320, 3);
        mpz_divexact_ui(c.get(), c.get(), 24);
    } else if (formula == 1) {
        mpz_ui_pow_ui(c.get(), 396, 4);
        mpz_divexact_ui(c.get(), c.get(), 8);
    } else {
        mpz_ui_pow_ui(c.get(), 882, 2);
        mpz_mul_ui(c.get(), c.get(), 256 / 8);
    }
    for (int i = 0; i < 3; ++i) mpz_mul_si(c.get(), c.get(), x);
    return c;
}

Mpz t_of(int formula, long k)
{
    const Series& s = kSeries[formula];
    Mpz r(k);
    mpz_mul_si(r.get(), r.get(), s.slope);
    mpz_add_ui(r.get(), r.get(), s.intercept);
    if (s.alternating && k % 2 != 0) mpz_neg(r.get(), r.get());
    return r;
}

struct Block {
    Mpz p, q, t;
};

// P = prod p(k+1), Q = prod q(k) and
// T = sum_k [prod_(j<k) p(j+1)] t_k [prod_(j>k) q(j)] over the terms k0 .. k0 + terms - 1.
Block exact_block(int formula, long k0, int terms)
{
    std::vector<Mpz> before(terms + 1, Mpz(1)), after(terms + 1, Mpz(1));
    for (int i = 0; i < terms; ++i) mpz_mul(before[i + 1].get(), before[i].get(), p_of(formula, k0 + i + 1).get());
    for (int i = terms - 1; i >= 0; --i) mpz_mul(after[i].get(), after[i + 1].get(), q_of(formula, k0 + i).get());
    Block b;
    b.p = before[terms];
    b.q = after[0];
    Mpz term;
    for (int i = 0; i < terms; ++i) {
        mpz_mul(term.get(), before[i].get(), t_of(formula, k0 + i).get());
        mpz_mul(term.get(), term.get(), after[i + 1].get());
        mpz_add(b.t.get(), b.t.get(), term.get());
    }
    return b;
}

// z (exponent word, then size words) holds the integer v as a stripped LongNum:
// a nonzero top word, balanced words, units word at the exponent, zeros after.
testing::AssertionResult holds_integer(const double* z, int size, const Mpz& v, double radix)
{
    const int e = static_cast<int>(z[0]);
    if (z[0] != e || e < 1 || e > size) return testing::AssertionFailure() << "exponent " << z[0];
    if (z[1] == 0) return testing::AssertionFailure() << "not stripped: top word 0, exponent " << e;
    for (int j = e + 1; j <= size; ++j)
        if (z[j] != 0) return testing::AssertionFailure() << "word " << j << " = " << z[j] << " below the units";
    testing::AssertionResult balanced = balanced_words(z + 1, e, radix);
    if (!balanced) return balanced;
    if (std::fabs(z[1]) > std::floor(radix / 2)) return testing::AssertionFailure() << "top word " << z[1];
    const Mpz got = words_value(z + 1, e, radix);
    if (!(got == v)) return testing::AssertionFailure() << "value " << got.str() << ", expected " << v.str();
    return testing::AssertionSuccess();
}

// Saves the globals the block reads and writes, and restores them after.
class BlockFixture : public RadixTest {
protected:
    void TearDown() override { drm_k = k_; }

private:
    double k_ = drm_k;
};

// ------------------------------------------- blocks against the exact series

constexpr double kRadices[] = {100000.0, 456976.0, 19683.0, 238328.0, 177147.0};
constexpr long kStarts[] = {1, 2, 301, 99999};

class BlockAgainstSeries : public BlockFixture, public testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(BlockAgainstSeries, PQTAreTheExactBlockProducts)
{
    const auto [formula, fmt_size] = GetParam();
    const int terms = fmt_size / 8;
    for (double radix : kRadices) {
        use_radix(radix);
        for (long k0 : kStarts) {
            SCOPED_TRACE(testing::Message() << kSeries[formula].name << ", FMT size " << fmt_size << ", R = " << radix
                                            << ", k0 = " << k0);
            drm_k = static_cast<double>(k0);
            const double err = drm_block(formula, fmt_size, fmt_size / 8);
            const Block want = exact_block(formula, k0, terms);
            EXPECT_TRUE(holds_integer(blk_p, fmt_size, want.p, radix)) << "P";
            EXPECT_TRUE(holds_integer(blk_q, fmt_size, want.q, radix)) << "Q";
            EXPECT_TRUE(holds_integer(blk_t, fmt_size, want.t, radix)) << "T";
            EXPECT_EQ(drm_k, static_cast<double>(k0 + terms));
            EXPECT_LT(err, 0.5);
            if (fmt_size == 8) {
                EXPECT_EQ(err, 0) << "a single leaf needs no product";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFormulas, BlockAgainstSeries,
                         testing::Combine(testing::Values(0, 1, 2), testing::Values(8, 16, 32, 64, 2048, 4096)),
                         [](const testing::TestParamInfo<std::tuple<int, int>>& info) {
                             std::string name = kSeries[std::get<0>(info.param)].name;
                             name += "_FmtSize";
                             name += std::to_string(std::get<1>(info.param));
                             return name;
                         });

// ------------------------------------------------------------ worked blocks

using BlockWorked = BlockFixture;

TEST_F(BlockWorked, ChudnovskyTwoTermsFromOne)
{
    use_radix(100000.0);
    drm_k = 1;
    const double err = drm_block(0, 16, 2);
    EXPECT_LT(err, 0.5);
    EXPECT_EQ(drm_k, 3);

    auto words = [](const double* z) { return std::vector<double>(z, z + 17); };
    EXPECT_EQ(words(blk_p), (std::vector<double>{2, 3, -44745, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(words(blk_q),
              (std::vector<double>{7, 957, 30407, -540, -43205, -6367, -18080, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(words(blk_t),
              (std::vector<double>{6, -5, 11040, 22113, 33225, 18793, 49387, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    Mpz q, t;
    mpz_set_str(q.get(), "957304069945956794936328192000000", 10);
    mpz_set_str(t.get(), "-48895977886667748120650613", 10);
    EXPECT_TRUE(holds_integer(blk_p, 16, Mpz(255255), 100000.0));
    EXPECT_TRUE(holds_integer(blk_q, 16, q, 100000.0));
    EXPECT_TRUE(holds_integer(blk_t, 16, t, 100000.0));
}

// FMT size 8: one leaf, no level, P, Q and T are p(2), q(1) and t_1.
TEST_F(BlockWorked, ChudnovskySingleLeaf)
{
    use_radix(100000.0);
    drm_k = 1;
    EXPECT_EQ(drm_block(0, 8, 1), 0);
    EXPECT_EQ(drm_k, 2);
    auto words = [](const double* z) { return std::vector<double>(z, z + 9); };
    EXPECT_EQ(words(blk_p), (std::vector<double>{1, 231, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(words(blk_q), (std::vector<double>{4, 11, -6094, -11400, 32000, 0, 0, 0, 0}));
    EXPECT_EQ(words(blk_t), (std::vector<double>{2, -5587, -31543, 0, 0, 0, 0, 0, 0}));
}

// The sign of a term follows k alone: one-leaf blocks at k0 = 2 and then 1.
TEST_F(BlockWorked, SignFollowsTheTermAcrossBlocks)
{
    use_radix(100000.0);
    for (int formula = 0; formula < kFormulaCount; ++formula) {
        SCOPED_TRACE(kSeries[formula].name);
        drm_k = 2;
        drm_block(formula, 8, 1);
        EXPECT_GT(blk_t[1], 0);
        drm_k = 1;
        drm_block(formula, 8, 1);
        if (kSeries[formula].alternating) {
            EXPECT_LT(blk_t[1], 0);
        } else {
            EXPECT_GT(blk_t[1], 0);
        }
    }
}

// Blocks one after another: each continues where drm_k was left, and nothing
// a longer earlier block left in the arrays reaches a shorter later one.
TEST_F(BlockWorked, ConsecutiveBlocksReadNothingOfEarlierOnes)
{
    const double radix = 238328.0;
    use_radix(radix);
    drm_k = 5;
    drm_block(1, 4096, 512);
    ASSERT_EQ(drm_k, 5 + 512);
    for (int fmt_size : {64, 16, 8}) {
        SCOPED_TRACE(testing::Message() << "FMT size " << fmt_size);
        const long k0 = static_cast<long>(drm_k);
        drm_block(1, fmt_size, fmt_size / 8);
        const Block want = exact_block(1, k0, fmt_size / 8);
        EXPECT_TRUE(holds_integer(blk_p, fmt_size, want.p, radix));
        EXPECT_TRUE(holds_integer(blk_q, fmt_size, want.q, radix));
        EXPECT_TRUE(holds_integer(blk_t, fmt_size, want.t, radix));
    }
}

// A block of fewer terms than the FMT size allows: the tree over any number
// of leaves, a last run without a partner moving up a level. The words of
// the arrays past the block's own, left over from a longer block before, must
// not reach P, Q or T.
TEST_F(BlockWorked, BlocksOfAnyNumberOfTerms)
{
    const int fmt_size = 4096;
    for (double radix : {100000.0, 19683.0}) {
        use_radix(radix);
        for (int formula = 0; formula < kFormulaCount; ++formula) {
            drm_k = 1000;
            drm_block(formula, fmt_size, fmt_size / 8);   // fills the arrays
            for (int terms : {1, 2, 3, 5, 7, 23, 100, 255, 257, 300, 511}) {
                SCOPED_TRACE(testing::Message() << kSeries[formula].name << ", R = " << radix << ", " << terms << " terms");
                const long k0 = 17;
                drm_k = static_cast<double>(k0);
                const double err = drm_block(formula, fmt_size, terms);
                EXPECT_LT(err, 0.5);
                EXPECT_EQ(drm_k, static_cast<double>(k0 + terms));
                const Block want = exact_block(formula, k0, terms);
                EXPECT_TRUE(holds_integer(blk_p, fmt_size, want.p, radix)) << "P";
                EXPECT_TRUE(holds_integer(blk_q, fmt_size, want.q, radix)) << "Q";
                EXPECT_TRUE(holds_integer(blk_t, fmt_size, want.t, radix)) << "T";
            }
        }
    }
}

// --------------------------------------------------------- one merge level

using MergeLevel = BlockFixture;

TEST_F(MergeLevel, MergesEachPairInPlaceAndNothingElse)
{
    struct Case {
        double radix;
        int n;
        int pairs;
    };
    std::mt19937_64 rng(8128);
    for (const Case c : {Case{100000.0, 8, 1}, Case{456976.0, 16, 3}, Case{19683.0, 64, 2}, Case{177147.0, 512, 4}}) {
        SCOPED_TRACE(testing::Message() << "R = " << c.radix << ", n = " << c.n << ", pairs = " << c.pairs);
        use_radix(c.radix);
        const int used = 2 * c.n * c.pairs;
        const int guard = 40;
        double* arrays[] = {blk_p, blk_q, blk_t};
        for (int k = 0; k < 3; ++k) {
            double* a = arrays[k];
            a[0] = -77;
            const std::vector<double> runs = random_balanced(rng, used, c.radix);
            words_copy(runs.data(), a + 1, used);
            words_fill(12345, a + 1 + used, guard);
            // Each run's residue, as the level before would have left it.
            for (int j = 0; j < 2 * c.pairs; ++j) run_residue[k][j] = check_residue(a + 1 + c.n * j, c.n);
        }
        // The runs before merging, as integers: left and right of each pair.
        std::vector<Mpz> left[3], right[3];
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < c.pairs; ++i) {
                const double* pair = arrays[k] + 1 + 2 * c.n * i;
                left[k].push_back(words_value(pair, c.n, c.radix));
                right[k].push_back(words_value(pair + c.n, c.n, c.radix));
            }

        const double err = drm_merge_level(c.n, 2 * c.pairs);
        EXPECT_LT(err, 0.5);

        for (int i = 0; i < c.pairs; ++i) {
            SCOPED_TRACE(testing::Message() << "pair " << i);
            Mpz p, q, t, qt;
            mpz_mul(p.get(), left[0][i].get(), right[0][i].get());
            mpz_mul(q.get(), left[1][i].get(), right[1][i].get());
            mpz_mul(t.get(), left[0][i].get(), right[2][i].get());   // P_left T_right
            mpz_mul(qt.get(), right[1][i].get(), left[2][i].get());  // Q_right T_left
            mpz_add(t.get(), t.get(), qt.get());
            const Mpz* want[] = {&p, &q, &t};
            const char* names[] = {"P", "Q", "T"};
            for (int k = 0; k < 3; ++k) {
                const double* merged = arrays[k] + 1 + 2 * c.n * i;
                EXPECT_TRUE(words_value(merged, 2 * c.n, c.radix) == *want[k]) << names[k];
                EXPECT_TRUE(balanced_words(merged, 2 * c.n, c.radix)) << names[k];
            }
        }
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(arrays[k][0], -77) << "word 0 of array " << k;
            for (int j = 1 + used; j < 1 + used + guard; ++j)
                ASSERT_EQ(arrays[k][j], 12345) << "word " << j << " of array " << k << " beyond the pairs";
        }
    }
}

// An odd number of runs: the pairs merge as ever, and the last run moves into
// the place of a merged run, right-aligned in its 2n words, value unchanged.
TEST_F(MergeLevel, ALastRunWithoutPartnerMovesUp)
{
    std::mt19937_64 rng(496);
    for (int n : {8, 64}) {
        use_radix(100000.0);
        const int runs = 5;
        double* arrays[] = {blk_p, blk_q, blk_t};
        std::vector<Mpz> last(3);
        for (int k = 0; k < 3; ++k) {
            const std::vector<double> words = random_balanced(rng, runs * n, 100000.0);
            words_copy(words.data(), arrays[k] + 1, runs * n);
            last[k] = words_value(arrays[k] + 1 + (runs - 1) * n, n, 100000.0);
        }
        drm_merge_level(n, runs);
        for (int k = 0; k < 3; ++k) {
            const double* moved = arrays[k] + 1 + 2 * n * (runs / 2);
            for (int j = 0; j < n; ++j) ASSERT_EQ(moved[j], 0) << "n = " << n << ", word " << j;
            EXPECT_TRUE(words_value(moved, 2 * n, 100000.0) == last[k]) << "n = " << n << ", array " << k;
        }
    }
}

}  // namespace
