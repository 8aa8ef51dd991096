// Product checks: residues of word vectors against GMP, the modular
// arithmetic, and products that come too close to a rounding mistake being
// formed again exactly.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "longarith/check.h"
#include "longarith/fmt.h"
#include "longarith/longnum.h"
#include "longarith/mpz_words.h"
#include "support/fixtures.h"

namespace {

const unsigned long kPrime = static_cast<unsigned long>(kCheckPrime);

double gmp_residue(const std::vector<double>& v, double radix)
{
    Mpz value = words_value(v, radix), r;
    mpz_fdiv_r_ui(r.get(), value.get(), kPrime);
    return static_cast<double>(mpz_get_ui(r.get()));
}

TEST(CheckPrime, IsPrimeAndBelow2To50)
{
    Mpz p(static_cast<long>(kPrime));
    EXPECT_GT(mpz_probab_prime_p(p.get(), 50), 0);
    EXPECT_LT(kCheckPrime, std::ldexp(1.0, 50));
}

// Every length class of the residue (words one by one, up to eight blocks
// weighted directly, a lead of single blocks, groups of 64), several radices,
// words of both signs, top words far beyond the radix.
TEST(CheckResidue, EqualsTheValueModuloThePrime)
{
    std::mt19937_64 rng(99);
    for (double radix : {100000.0, 456976.0, 177147.0, 19683.0, 238328.0, 262144.0}) {
        RadixScope scope(radix);
        for (int n : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 40, 63, 64, 65, 72, 100, 127, 128, 129, 200, 1000, 1024,
                      4096, 4099, 65536 + 5}) {
            SCOPED_TRACE(testing::Message() << "R = " << radix << ", n = " << n);
            std::vector<double> v = random_balanced(rng, n, radix);
            EXPECT_EQ(check_residue(v.data(), n), gmp_residue(v, radix));
            v[0] = -static_cast<double>(rng() % (1UL << 39));
            EXPECT_EQ(check_residue(v.data(), n), gmp_residue(v, radix));
            std::fill(v.begin(), v.end(), std::floor(radix / 2));
            EXPECT_EQ(check_residue(v.data(), n), gmp_residue(v, radix));
            std::fill(v.begin(), v.end(), 0.0);
            EXPECT_EQ(check_residue(v.data(), n), 0.0);
        }
    }
}

TEST(CheckModular, MatchesGmp)
{
    std::mt19937_64 rng(5);
    const double edges[] = {0, 1, 2, kCheckPrime - 1, kCheckPrime - 2, std::floor(kCheckPrime / 2)};
    std::vector<double> values(std::begin(edges), std::end(edges));
    for (int i = 0; i < 2000; ++i) values.push_back(static_cast<double>(rng() % kPrime));
    for (size_t i = 0; i + 1 < values.size(); ++i) {
        const double a = values[i], b = values[values.size() - 1 - i];
        Mpz x(static_cast<long>(a)), y(static_cast<long>(b)), r;
        mpz_mul(r.get(), x.get(), y.get());
        mpz_fdiv_r_ui(r.get(), r.get(), kPrime);
        ASSERT_EQ(check_mulmod(a, b), static_cast<double>(mpz_get_ui(r.get()))) << a << " * " << b;
        mpz_add(r.get(), x.get(), y.get());
        mpz_fdiv_r_ui(r.get(), r.get(), kPrime);
        ASSERT_EQ(check_addmod(a, b), static_cast<double>(mpz_get_ui(r.get()))) << a << " + " << b;
    }
}

// Words all R/2 make the largest coefficients a product can have; at these
// lengths in the largest radix a plain transform product rounds them wrongly
// or comes within reach of it. The product must come out exact, reported with
// a small error, and counted as formed again.
TEST(CheckRedo, ExtremeProductsAreFormedAgainAndExact)
{
    RadixScope scope(456976.0);
    for (int n : {1 << 14, 1 << 15, 1 << 16}) {
        SCOPED_TRACE(testing::Message() << "n = " << n);
        for (double sign : {1.0, -1.0}) {
            std::vector<double> a(n), out(2 * n);
            for (int i = 0; i < n; ++i) a[i] = (i % 2 == 0 || sign > 0) ? 228488 : -228488;
            const CheckCounts before = g_check_counts;
            const double err = fmt_convolve(a.data(), a.data(), out.data(), n);
            Mpz x = words_value(a, 456976.0), square;
            mpz_mul(square.get(), x.get(), x.get());
            EXPECT_TRUE(words_value(out, 456976.0) == square);
            EXPECT_TRUE(balanced_words(out.data(), out.size(), 456976.0));
            EXPECT_LT(err, kCheckRedoError);
            EXPECT_EQ(g_check_counts.checked, before.checked + 1);
            EXPECT_EQ(g_check_counts.redone, before.redone + 1);
            EXPECT_NE(err, kCheckFailed);
        }
    }
}

TEST(CheckRedo, OrdinaryProductsAreCheckedOnce)
{
    RadixScope scope(100000.0);
    std::mt19937_64 rng(17);
    for (int n : {8, 32, 64, 1024, 1 << 14}) {
        const std::vector<double> a = random_balanced(rng, n, 100000.0), b = random_balanced(rng, n, 100000.0);
        std::vector<double> out(2 * n);
        const CheckCounts before = g_check_counts;
        fmt_convolve(a.data(), b.data(), out.data(), n);
        EXPECT_EQ(g_check_counts.checked, before.checked + 1) << n;
        EXPECT_EQ(g_check_counts.redone, before.redone) << n;
    }
}

// A product by an operand whose spectrum is kept, formed again because its
// words are extreme, must leave that spectrum to serve the next product.
TEST(CheckRedo, KeptSpectrumSurvivesAProductFormedAgain)
{
    const double radix = 456976.0;
    RadixScope scope(radix);
    const int n = 1 << 15;
    std::mt19937_64 rng(3);
    std::vector<double> q(n, 228488), p(n, 228488), out(2 * n);
    const std::vector<double> r = random_balanced(rng, n, radix);
    FmtOperand q_op, p_op, r_op;
    fmt_operand(&q_op, q.data(), n);
    fmt_operand(&p_op, p.data(), n);
    fmt_operand(&r_op, r.data(), n);

    const CheckCounts before = g_check_counts;
    fmt_mul(&p_op, &q_op, out.data());
    EXPECT_EQ(g_check_counts.redone, before.redone + 1);
    const double err = fmt_mul(&r_op, &q_op, out.data());
    EXPECT_EQ(g_check_counts.redone, before.redone + 1);
    EXPECT_LT(err, kCheckRedoError);
    Mpz x = words_value(r, radix), y = words_value(q, radix), z;
    mpz_mul(z.get(), x.get(), y.get());
    EXPECT_TRUE(words_value(out, radix) == z);
    fmt_release(&q_op);
    fmt_release(&p_op);
    fmt_release(&r_op);
}

}  // namespace
