#include "longarith/longnum.h"

#include <cmath>
#include <cstdint>

#include "longarith/simd.h"

double g_radix = 100000.0;
int g_carry_mode = -1;

// Non-negative form: the carry pass with exact 64-bit quotients, then the
// borrow pass. Only the final report uses it, once.
static void normalize_nonnegative(double* v, int n)
{
    const int64_t r = static_cast<int64_t>(g_radix);
    for (int i = n - 1; i >= 1; --i) {
        const int64_t x = static_cast<int64_t>(v[i]);
        const int64_t c = x / r;
        v[i] = static_cast<double>(x - c * r);
        v[i - 1] += static_cast<double>(c);
    }
    for (int i = n - 1; i >= 1; --i) {
        if (v[i] < 0) {
            v[i] += g_radix;
            v[i - 1] -= 1;
        }
    }
}

namespace {

using simd::vd;

inline double round_even(double x) { return (x + 6755399441055744.0) - 6755399441055744.0; }
inline vd round_even(vd x) { return simd::round_even(x); }

// Digits of a word x (|x| < 2^53) in radix R: x = d[0] + R d[1] + ... +
// R^(D-1) d[D-1], each quotient a rounded product with 1/R, so that every
// digit but the last lies within R/2 + 2 (a product off by one near a
// half-way point moves its digit a unit or two past R/2).
template <int D, class T>
inline void split_digits(T x, double R, double inv, T* d)
{
    T q = x;
    for (int k = 0; k < D - 1; ++k) {
        const T next = round_even(q * inv);
        d[k] = q - next * R;
        q = next;
    }
    d[D - 1] = q;
}

// Digit k of x in the D-digit split.
template <int D, class T>
inline T digit(T x, int k, double R, double inv)
{
    T d[D];
    split_digits<D>(x, R, inv, d);
    return d[k];
}

// First pass of the vector form over positions m >= 4: digit k of word
// m + k is added to position m; the digits that fall on positions 1..3 are
// added to top[1..3]. D digits are enough when every word lies below
// 1.5 R^(D-1) in magnitude; the sums then lie within 2R.
template <int D>
void spread_digits(double* v, int n, double R, double inv, double* top)
{
    constexpr int L = simd::kLanes;
    for (int p = 4; p < 4 + D - 1 && p < n; ++p) {
        double d[D];
        split_digits<D>(v[p], R, inv, d);
        for (int k = p - 3; k < D; ++k) top[p - k] += d[k];
    }
    int m = 4;
    for (; m + L + D - 1 <= n; m += L) {
        vd s = digit<D>(simd::load(v + m), 0, R, inv);
        for (int k = 1; k < D; ++k) s += digit<D>(simd::load(v + m + k), k, R, inv);
        simd::store(v + m, s);
    }
    for (; m < n; ++m) {
        double s = 0;
        for (int k = 0; k < D && m + k < n; ++k) s += digit<D>(v[m + k], k, R, inv);
        v[m] = s;
    }
}

// Balanced form for short vectors, word by word from the last: the remainder
// of the word (with the carry it received) truncated toward zero, moved by R
// when beyond R/2, and the quotient carried on. Quotients come from a product
// with 1/R and are corrected when that lands one off. The words come out as
// the carry pass and fix-up pass of the plain method make them, ties included.
void normalize_balanced_short(double* v, int n)
{
    const double R = g_radix, inv = 1.0 / R, h = R / 2;
    double carry = 0;
    for (int i = n - 1; i >= 1; --i) {
        const double x = v[i] + carry;
        double q = std::trunc(x * inv);
        double r = x - q * R;
        if (r >= R || (r > 0 && x < 0)) {
            r -= R;
            q += 1;
        } else if (r <= -R || (r < 0 && x > 0)) {
            r += R;
            q -= 1;
        }
        if (r > h) {
            r -= R;
            q += 1;
        } else if (r < -h) {
            r += R;
            q -= 1;
        }
        v[i] = r;
        carry = q;
    }
    v[0] += carry;
}

// Balanced form in four vector passes with no long carry chain: the words
// are split into digits and each digit added to its place (words then lie
// within 2R), split once more (within R/2 + 3), and a last sweep carries
// the rare word beyond R/2; the first four words, which may be large, are
// settled last with exact scalar carries.
//
// The quotients use 1/R shrunk by 2^-50, so that a word of exactly +-R/2 (or
// less) gives the quotient 0 and a balanced vector passes through unchanged.
void normalize_balanced(double* v, int n)
{
    const double R = g_radix, inv = (1.0 / R) * (1.0 - 0x1p-50), h = R / 2;
    constexpr int L = simd::kLanes;

    // Pass 1, positions m >= 4: as many digits as the largest word needs.
    vd big = simd::broadcast(0.0);
    int m = 4;
    for (; m + L <= n; m += L) big = simd::vmax(big, simd::vabs(simd::load(v + m)));
    double largest = simd::hmax(big);
    for (; m < n; ++m) largest = std::fmax(largest, std::fabs(v[m]));
    double top[4] = {0, 0, 0, 0};
    if (largest <= 1.5 * R * R) {
        spread_digits<2>(v, n, R, inv, top);
    } else if (largest <= 1.5 * R * R * R) {
        spread_digits<3>(v, n, R, inv, top);
    } else {
        spread_digits<4>(v, n, R, inv, top);
    }
    double top1 = top[1], top2 = top[2], top3 = top[3];

    // Pass 2: now |v[m]| <= 2R; one more split.
    top3 += round_even(v[4] * inv);
    for (m = 4; m + L + 1 <= n; m += L) {
        const vd x0 = simd::load(v + m), x1 = simd::load(v + m + 1);
        const vd q0 = simd::round_even(x0 * inv), q1 = simd::round_even(x1 * inv);
        simd::store(v + m, x0 - q0 * R + q1);
    }
    for (; m < n; ++m) {
        double s = v[m] - round_even(v[m] * inv) * R;
        if (m + 1 < n) s += round_even(v[m + 1] * inv);
        v[m] = s;
    }

    // Pass 3: from the last word up, carry the words beyond R/2. Whole
    // vectors that need nothing are passed over.
    const vd hv = simd::broadcast(h);
    double carry = 0;
    m = n;
    while (m > 4) {
        const int lo = m - L >= 4 ? m - L : 4;
        if (carry == 0 && m - lo == L && !simd::any(simd::vabs(simd::load(v + lo)) > hv)) {
            m = lo;
            continue;
        }
        for (int i = m - 1; i >= lo; --i) {
            double x = v[i] + carry;
            carry = 0;
            if (x > h) {
                x -= R;
                carry = 1;
            } else if (x < -h) {
                x += R;
                carry = -1;
            }
            v[i] = x;
        }
        m = lo;
    }

    // Words 3, 2, 1 with what the passes sent them, carried word by word into word 0.
    v[1] += top1;
    v[2] += top2;
    v[3] += top3 + carry;
    normalize_balanced_short(v, 4);
}

}  // namespace

void ln_normalize(double* v, int n)
{
    if (n <= 1) return;
    if (g_carry_mode >= 0) {
        normalize_nonnegative(v, n);
    } else if (n < 16) {
        normalize_balanced_short(v, n);
    } else {
        normalize_balanced(v, n);
    }
}

void ln_strip(LongNum* z, int n)
{
    int k = 0;
    while (k < n && z[k + 1] == 0) ++k;
    if (k == 0) return;
    for (int j = 1; j <= n - k; ++j) z[j] = z[j + k];
    for (int j = n - k + 1; j <= n; ++j) z[j] = 0;
    z[0] -= k;
}

void ln_from_integer_words(LongNum* z, int n)
{
    z[0] = n;
    ln_strip(z, n);
}

void ln_set_int(int a, LongNum* z, int n)
{
    z[0] = 1;
    z[1] = a;
    words_fill(0, z + 2, n - 1);
}

void words_copy(const double* src, double* dst, int n)
{
    for (int i = 0; i < n; ++i) dst[i] = src[i];
}

void words_fill(int value, double* dst, int n)
{
    const double v = value;
    for (int i = 0; i < n; ++i) dst[i] = v;
}

int ipow(int a, int n)
{
    int p = 1;
    for (int i = 0; i < n; ++i) p *= a;
    return p;
}

double dmax2(double a, double b) { return b > a ? b : a; }

double dmax3(double a, double b, double c) { return dmax2(dmax2(a, b), c); }

int imin2(int a, int b) { return a > b ? b : a; }

int ilog2(int n) { return static_cast<int>(std::log(n + 0.5) / std::log(2.0)); }
