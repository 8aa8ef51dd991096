// Product checks against products corrupted on purpose (this program is built
// on the library with fault injection): a fault that does not come back is
// caught and mended, one that stays is caught and reported.
#include <gmp.h>
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "drm/block_tree.h"
#include "drm/series.h"
#include "drm/storage.h"
#include "longarith/check.h"
#include "longarith/fmt.h"
#include "longarith/longnum.h"
#include "longarith/mpz_words.h"
#include "support/fixtures.h"

namespace {

// Changes one word of the products the test selects: of at least min_len
// words, the first only or all of them.
struct Fault {
    static inline int min_len = 0;
    static inline bool always = false;
    static inline int hits = 0;
    static void corrupt(double* product, int len)
    {
        if (len < min_len || (hits > 0 && !always)) return;
        product[len / 3] += 7;
        ++hits;
    }
};

class ProductFault : public testing::Test {
protected:
    void SetUp() override
    {
        Fault::hits = 0;
        g_fault_hook = nullptr;
    }
    void TearDown() override { g_fault_hook = nullptr; }
    static void inject(int min_len, bool always)
    {
        Fault::min_len = min_len;
        Fault::always = always;
        g_fault_hook = Fault::corrupt;
    }
};

TEST_F(ProductFault, ACorruptedProductIsFormedAgainAndExact)
{
    RadixScope scope(100000.0);
    std::mt19937_64 rng(1);
    for (int n : {16, 4096}) {   // an exact schoolbook product and a transform product
        SCOPED_TRACE(testing::Message() << "n = " << n);
        SetUp();
        const std::vector<double> a = random_balanced(rng, n, 100000.0), b = random_balanced(rng, n, 100000.0);
        std::vector<double> out(2 * n);
        inject(0, false);
        const CheckCounts before = g_check_counts;
        const double err = fmt_convolve(a.data(), b.data(), out.data(), n);
        EXPECT_EQ(Fault::hits, 1);
        EXPECT_EQ(g_check_counts.redone, before.redone + 1);
        EXPECT_NE(err, kCheckFailed);
        Mpz x = words_value(a, 100000.0), y = words_value(b, 100000.0), z;
        mpz_mul(z.get(), x.get(), y.get());
        EXPECT_TRUE(words_value(out, 100000.0) == z);
    }
}

TEST_F(ProductFault, AFaultThatStaysIsReported)
{
    RadixScope scope(100000.0);
    std::mt19937_64 rng(2);
    for (int n : {16, 4096}) {
        SCOPED_TRACE(testing::Message() << "n = " << n);
        SetUp();
        const std::vector<double> a = random_balanced(rng, n, 100000.0), b = random_balanced(rng, n, 100000.0);
        std::vector<double> out(2 * n);
        inject(0, true);
        const double err = fmt_convolve(a.data(), b.data(), out.data(), n);
        EXPECT_EQ(Fault::hits, 2);   // the product and its second forming
        EXPECT_EQ(err, kCheckFailed);
    }
}

// P, Q and T of one block, as the words 0..fmt_size of the three arrays, and
// the block's rounding error.
struct Block {
    std::vector<double> words;
    double err;
};

Block block(int formula_index, int fmt_size, double k0)
{
    drm_k = k0;
    Block b{{}, drm_block(formula_index, fmt_size, fmt_size / 8)};
    for (const double* a : {blk_p, blk_q, blk_t}) b.words.insert(b.words.end(), a, a + fmt_size + 1);
    return b;
}

// Faults in the block computation: in an exact product of the lower levels
// (caught by the block's own check, the block computed again) and in a
// transform product (formed again on the spot). Either way the block comes out
// as without the fault.
TEST_F(ProductFault, ABlockMendsAFaultThatDoesNotComeBack)
{
    RadixScope scope(100000.0);
    const int fmt_size = 4096;
    const std::vector<double> clean = block(0, fmt_size, 301).words;
    // A wrong exact product also fails the transform products above it, each
    // counted as formed again, before the block is computed again; a wrong
    // transform product is formed again once.
    struct Case {
        int min_len;
        bool only_one_redone;
    } cases[] = {{16, false}, {256, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "first product of at least " << c.min_len << " words");
        SetUp();
        inject(c.min_len, false);
        const CheckCounts before = g_check_counts;
        const Block b = block(0, fmt_size, 301);
        EXPECT_EQ(b.words, clean);
        EXPECT_EQ(Fault::hits, 1);
        if (c.only_one_redone) {
            EXPECT_EQ(g_check_counts.redone, before.redone + 1);
        } else {
            EXPECT_GT(g_check_counts.redone, before.redone);
        }
        EXPECT_NE(b.err, kCheckFailed);
    }
}

TEST_F(ProductFault, ABlockReportsAFaultThatStays)
{
    RadixScope scope(100000.0);
    for (int min_len : {16, 256}) {
        SCOPED_TRACE(testing::Message() << "every product of at least " << min_len << " words");
        SetUp();
        inject(min_len, true);
        drm_k = 301;
        EXPECT_EQ(drm_block(0, 4096, 512), kCheckFailed);
    }
}

}  // namespace
