#include "longarith/check.h"

#include <cmath>

#include "longarith/longnum.h"
#include "longarith/simd.h"

CheckCounts g_check_counts;
bool g_check_failed = false;
#ifdef DRMPI_FAULT_INJECTION
void (*g_fault_hook)(double* product, int len) = nullptr;
#endif

using simd::vd;

// Arithmetic modulo p < 2^50 in doubles. A product a b (|a|, |b| < 2p) is
// split exactly into a rounded high part and the low part an FMA recovers;
// q = round(a b / p) is off by less than one, so a b - q p, formed exactly,
// lies in (-p, 2p) and one correction brings it into [0, p).
namespace {

const double kP = kCheckPrime;
const double kPinv = 1.0 / kCheckPrime;

inline double round_even(double x) { return (x + 6755399441055744.0) - 6755399441055744.0; }

inline double into_range(double r)
{
    if (r < 0) return r + kP;
    if (r >= kP) return r - kP;
    return r;
}

inline vd into_range(vd r)
{
    const vd p = simd::broadcast(kP);
    r = r < 0 ? r + p : r;
    return r >= p ? r - p : r;
}

inline double mulmod(double a, double b)
{
    const double h = a * b;
    const double l = std::fma(a, b, -h);
    const double q = round_even(h * kPinv);
    return into_range(std::fma(-q, kP, h) + l);
}

// a b - q p for |a| < 2p and b in [0, p), without the correction: q is off
// by less than 3/4, so the result stays within 1.25 p, and a sum of it and a
// word below 2^40 can go into the next product as it is.
inline vd mulmod_loose(vd a, vd b)
{
    const vd h = a * b;
    const vd l = simd::fmadd(a, b, -h);
    const vd q = simd::round_even(h * kPinv);
    return simd::fmadd(-q, simd::broadcast(kP), h) + l;
}

inline vd mulmod(vd a, vd b) { return into_range(mulmod_loose(a, b)); }

// x modulo p for any whole |x| < 2^53.
inline double reduce(double x) { return into_range(std::fma(-round_even(x * kPinv), kP, x)); }

inline vd reduce(vd x) { return into_range(simd::fmadd(-simd::round_even(x * kPinv), simd::broadcast(kP), x)); }

}  // namespace

double check_mulmod(double a, double b) { return mulmod(a, b); }

// Test builds can corrupt a product here, as it comes to be checked.
static void fault_point([[maybe_unused]] double* product, [[maybe_unused]] int count)
{
#ifdef DRMPI_FAULT_INJECTION
    if (g_fault_hook != nullptr) g_fault_hook(product, count);
#endif
}

void check_formed(double* product, int count) { fault_point(product, count); }

bool check_keep(double* product, int count, double expected, double err)
{
    fault_point(product, count);
#ifdef DRMPI_UNCHECKED
    (void)expected, (void)err;
    return true;
#endif
    ++g_check_counts.checked;
    if (err < kCheckRedoError && check_residue(product, count) == expected) return true;
    ++g_check_counts.redone;
    return false;
}

double check_again(double* product, int count, double expected, double err)
{
    fault_point(product, count);
    return check_residue(product, count) == expected ? err : kCheckFailed;
}

double check_addmod(double a, double b) { return into_range(a + b); }

// Powers of the radix that every residue needs, for the radix they were made for.
constexpr int kChains = 8;                  // accumulators side by side
constexpr int kGroup = kChains * simd::kLanes;   // words per step of the chains

struct RadixPowers {
    double radix = 0;
    double r;                     // R mod p
    double r8[kChains];           // R^(8k)
    vd lane_weight[kChains];      // lane_weight[u][j] = R^(kGroup - 1 - 8u - j); the last holds R^(7 - j)
    double m_power[32];           // (R^kGroup)^(2^i)
};
static RadixPowers powers;

static const RadixPowers& radix_powers()
{
    if (powers.radix != g_radix) {
        powers.radix = g_radix;
        powers.r = reduce(g_radix);
        double w = 1;
        for (int j = kGroup - 1; j >= 0; --j) {
            powers.lane_weight[j / 8][j % 8] = w;
            w = mulmod(w, powers.r);
        }
        powers.r8[0] = 1;
        for (int k = 1; k < kChains; ++k) powers.r8[k] = mulmod(powers.r8[k - 1], powers.lane_weight[kChains - 2][7]);
        powers.m_power[0] = w;   // R^kGroup
        for (int i = 1; i < 32; ++i) powers.m_power[i] = mulmod(powers.m_power[i - 1], powers.m_power[i - 1]);
    }
    return powers;
}

// (R^kGroup)^k times x.
static double times_m_power(double x, long k, const RadixPowers& pw)
{
    for (int i = 0; k > 0; k >>= 1, ++i) {
        if (k & 1) x = mulmod(x, pw.m_power[i]);
    }
    return x;
}

// Horner's rule over blocks of eight words, one lane per position in the
// block: the first n mod 8 words one by one, then as many single blocks as
// make the rest a multiple of eight blocks (multiplier R^8), then eight
// accumulators side by side over groups of 64 words (multiplier R^64), so
// that the chains of multiplications overlap. Lanes are weighted by their
// power of R at the end, and each part by R to the number of words after it.
// Up to 64 words need no chain: every lane is weighted directly.
double check_residue(const double* v, int n)
{
    constexpr int L = simd::kLanes, U = kChains;
    const RadixPowers& pw = radix_powers();
    const int head = n % L;
    const int blocks = (n - head) / L;
    const int lead = blocks % U;
    // Words of a normalized vector lie far below 2^40; a word too large to be
    // exact here can only come from a broken product, whose check then fails.
    auto word_vector = [](const double* p) { return simd::load(p); };

    double front = 0;
    for (int i = 0; i < head; ++i) front = reduce(mulmod(front, pw.r) + reduce(v[i]));

    if (blocks <= U) {
        // Up to 64 words: each lane weighted by its power of R directly.
        vd lanes = simd::broadcast(0.0);
        for (int b = 0; b < blocks; ++b)
            lanes = into_range(lanes + mulmod(reduce(word_vector(v + head + b * L)), pw.lane_weight[U - blocks + b]));
        double total = 0;
        for (int j = 0; j < L; ++j) total += lanes[j];
        const double front_weight = blocks < U ? pw.r8[blocks] : pw.m_power[0];   // R^(8 blocks)
        return into_range(reduce(total) + mulmod(front, front_weight));
    }

    const vd r8 = simd::broadcast(pw.r8[1]);
    vd single = simd::broadcast(0.0);
    for (int b = 0; b < lead; ++b) single = mulmod_loose(single, r8) + word_vector(v + head + b * L);

    const vd M = simd::broadcast(pw.m_power[0]);
    vd acc[U] = {};
    for (int i = head + lead * L; i < n; i += U * L) {
        for (int u = 0; u < U; ++u) acc[u] = mulmod_loose(acc[u], M) + word_vector(v + i + u * L);
    }

    // The eight lane sums stay below 8p < 2^53 before their reduction.
    double rest = 0, lead_value = 0;
    vd lanes = simd::broadcast(0.0);
    for (int u = 0; u < U; ++u) lanes = into_range(lanes + mulmod(reduce(acc[u]), pw.lane_weight[u]));
    for (int j = 0; j < L; ++j) rest += lanes[j];
    rest = reduce(rest);
    if (lead > 0) {
        const vd lanes = mulmod(reduce(single), pw.lane_weight[U - 1]);
        for (int j = 0; j < L; ++j) lead_value += lanes[j];
        lead_value = reduce(lead_value);
    }
    // The words after the lead blocks are (blocks - lead) / 8 groups of 64.
    const long groups = (blocks - lead) / U;
    lead_value = times_m_power(lead_value, groups, pw);
    front = times_m_power(mulmod(front, pw.r8[lead]), groups, pw);
    return into_range(into_range(rest + lead_value) + front);
}
