#include "drm/series.h"

#include <cstdint>

#include "drm/storage.h"
#include "longarith/check.h"
#include "longarith/linear.h"

double drm_k = 1;

// (hi 2^64 + lo) / d, and the remainder, for hi < d: one hardware division
// where there is one, instead of the library's general 128-bit division.
static inline uint64_t divide_128(uint64_t hi, uint64_t lo, uint64_t d, uint64_t* remainder)
{
#if defined(__x86_64__)
    uint64_t q, r;
    __asm__("divq %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d));
    *remainder = r;
    return q;
#else
    const unsigned __int128 u = (static_cast<unsigned __int128>(hi) << 64) | lo;
    *remainder = static_cast<uint64_t>(u % d);
    return static_cast<uint64_t>(u / d);
#endif
}

// w / r and the remainder for r < 2^32, by a product with floor(2^64 / r),
// which gives the quotient or one less (a hardware division takes several
// times as long, and a leaf needs eight).
struct SmallDivisor {
    uint64_t r;
    uint64_t inverse;
};

static inline uint64_t divide_small(uint64_t w, const SmallDivisor& d, uint64_t* remainder)
{
    uint64_t q = static_cast<uint64_t>((static_cast<unsigned __int128>(w) * d.inverse) >> 64);
    uint64_t rem = w - q * d.r;
    if (rem >= d.r) {
        rem -= d.r;
        ++q;
    }
    *remainder = rem;
    return q;
}

// Writes v as len balanced words, units last: digits of |v| by division from
// the units up (a value past 64 bits is first split at R^3), balanced from
// the units up, the sign applied to every word (then put in the non-negative
// form if that is the carry mode). The first word keeps what is left.
// Returns the residue of v (see check.h).
static double leaf_from_integer(__int128 v, double* out, int len)
{
    const bool negative = v < 0;
    const unsigned __int128 u = negative ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
    const uint64_t r = static_cast<uint64_t>(g_radix);
    const SmallDivisor radix{r, ~uint64_t{0} / r};
    const uint64_t hi = static_cast<uint64_t>(u >> 64), lo = static_cast<uint64_t>(u);
    const uint64_t r3 = r * r * r;
    int i = len - 1;
    uint64_t w = lo;
    if (hi >= r3) {
        // Past R^3 2^64 (no leaf of a run comes near): word by word in 128 bits.
        unsigned __int128 big = u;
        for (; i >= 1 && (big >> 64) != 0; --i) {
            out[i] = static_cast<double>(static_cast<uint64_t>(big % r));
            big /= r;
        }
        w = static_cast<uint64_t>(big);
    } else if (hi != 0) {
        // u = top R^3 + low: the three low words, then the rest in 64 bits.
        uint64_t low, digit;
        w = divide_128(hi, lo, r3, &low);
        for (int k = 0; k < 3; ++k, --i) {
            low = divide_small(low, radix, &digit);
            out[i] = static_cast<double>(digit);
        }
    }
    for (; i >= 1; --i) {
        uint64_t digit;
        w = divide_small(w, radix, &digit);
        out[i] = static_cast<double>(digit);
    }
    out[0] = static_cast<double>(w);

    const double R = g_radix, h = R / 2;
    for (int j = len - 1; j >= 1; --j) {
        if (out[j] > h) {
            out[j] -= R;
            out[j - 1] += 1;
        }
    }
    if (negative) {
        for (int j = 0; j < len; ++j) out[j] = -out[j];
    }
    if (g_carry_mode >= 0) ln_normalize(out, len);
    const uint64_t p = static_cast<uint64_t>(kCheckPrime);
    uint64_t residue;
    divide_128(hi % p, lo, p, &residue);
    if (negative && residue != 0) residue = p - residue;
    return static_cast<double>(residue);
}

// The exact product of the factors at x, false when it does not fit in 128 bits.
static bool leaf_value(double x, const LinearFactor* factors, int count, __int128* v)
{
    const int64_t xi = static_cast<int64_t>(x);
    *v = 1;
    for (int i = 0; i < count; ++i) {
        if (__builtin_mul_overflow(*v, static_cast<__int128>(factors[i].m) * xi + factors[i].c, v)) return false;
    }
    return true;
}

// The product of the factors at x scaled into the words factor by factor, for
// values past 128 bits.
static void leaf_by_scaling(double* out, double x, const LinearFactor* factors, int len, int count)
{
    words_fill(0, out, len);
    out[len - 1] = 1;
    for (int i = 0; i < count; ++i) words_scale(out, factors[i].m * x + factors[i].c, len);
}

// One leaf polynomial into out; returns its residue.
static double leaf_poly(double* out, double x, const LinearFactor* factors, int len, int count)
{
    __int128 v;
    if (leaf_value(x, factors, count, &v)) return leaf_from_integer(v, out, len);
    leaf_by_scaling(out, x, factors, len, count);
    return check_residue(out, len);
}

void drm_leaf_poly(double* out, double x, const LinearFactor* factors, int len, int count)
{
    // The product is formed exactly in 128 bits; should it not fit there,
    // the words are scaled factor by factor instead.
    __int128 v;
    if (leaf_value(x, factors, count, &v)) {
        leaf_from_integer(v, out, len);
    } else {
        leaf_by_scaling(out, x, factors, len, count);
    }
}

void drm_leaves(int formula_index, int terms)
{
    const SeriesFormula& f = kSeriesFormulas[formula_index];
    const int leaves = terms;
    const int64_t slope = static_cast<int64_t>(f.slope), intercept = static_cast<int64_t>(f.intercept);
    for (int j = 0, pos = 1; j < leaves; ++j, pos += kLeafWords) {
        const double k = drm_k;
        const int64_t ki = static_cast<int64_t>(k);
        run_residue[0][j] = leaf_poly(blk_p + pos, k + 1, f.num_factors, kLeafWords, kNumFactorCount);
        run_residue[1][j] = leaf_poly(blk_q + pos, k, f.den_factors, kLeafWords, kDenFactorCount);
        const __int128 t = static_cast<__int128>(slope) * ki + intercept;
        run_residue[2][j] = leaf_from_integer(f.alternating && ki % 2 != 0 ? -t : t, blk_t + pos, kLeafWords);
        drm_k += 1;
    }
}
