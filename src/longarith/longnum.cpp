#include "longarith/longnum.h"

#include <cmath>
#include <cstdint>

#include "longarith/simd.h"

double g_radix = 100000.0;
int g_carry_mode = -1;

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

// Balanced form for short vectors, word by word from the last: the remainder
// of the word (with the carry it received) truncated toward zero, moved by R
// when beyond R/2, and the quotient carried on. Quotients come from a product
// with 1/R and are corrected when that lands one off. The words come out as
// the carry pass and fix-up pass of the plain method make them, ties included.
void normalize_balanced_short(double* v, int n)
{
    // The quotient rounded to nearest: 1/R shrunk by 2^-50 puts a tie
    // (remainder exactly R/2) on the side of zero, as truncation and the
    // fix-up do. Far from zero the rounding may land one off; the remainder
    // then lies beyond R/2 and the fix-up takes it back, and a tie is put on
    // the side of the word's sign.
    const double R = g_radix, inv = (1.0 / R) * (1.0 - 0x1p-50), h = R / 2;
    double carry = 0;
    for (int i = n - 1; i >= 1; --i) {
        const double x = v[i] + carry;
        double q = round_even(x * inv);
        double r = std::fma(-q, R, x);
        if (r > h || (r == h && x < 0)) {
            r -= R;
            q += 1;
        } else if (r < -h || (r == -h && x > 0)) {
            r += R;
            q -= 1;
        }
        v[i] = r;
        carry = q;
    }
    v[0] += carry;
}

// Lanes 1..7 of x followed by lane 0 of next: the words one place less
// significant (lane order is memory order, most significant first).
inline vd next1(vd x, vd next) { return __builtin_shuffle(x, next, simd::vl{1, 2, 3, 4, 5, 6, 7, 8}); }
inline vd next2(vd x, vd next) { return __builtin_shuffle(x, next, simd::vl{2, 3, 4, 5, 6, 7, 8, 9}); }
inline vd next3(vd x, vd next) { return __builtin_shuffle(x, next, simd::vl{3, 4, 5, 6, 7, 8, 9, 10}); }

// Balanced form in one pass from the last word to the first, eight words at
// a time with no long carry chain: each word (below 2^53 in magnitude) is
// split into four balanced digits, and each place takes the digits that fall
// on it (within 2R), split once more (within R/2 + 3); the rare word still
// beyond R/2 is carried word by word. The first words, which may be large,
// are settled last with exact scalar carries.
//
// The quotients use 1/R shrunk by 2^-50, so that a word of exactly +-R/2 (or
// less) gives the quotient 0 and a balanced vector passes through unchanged.
template <int D>
void normalize_balanced_digits(double* v, int n)
{
    const double R = g_radix, inv = (1.0 / R) * (1.0 - 0x1p-50), h = R / 2;
    constexpr int L = simd::kLanes;
    const vd Rv = simd::broadcast(R), invv = simd::broadcast(inv), hv = simd::broadcast(h);
    const vd zero = simd::broadcast(0.0);
    // Vectors cover [head, n); the head words in front are done by hand.
    const int head = 4 + (n - 4) % L;
    vd prev1 = zero, prev2 = zero, prev3 = zero, prev_s = zero;
    double carry = 0;
    for (int i = n - L; i >= head; i -= L) {
        const vd x = simd::load(v + i);
        const vd q1 = round_even(x * invv);
        const vd d0 = x - q1 * Rv;
        vd d1 = q1, d2 = zero, d3 = zero, u;
        if (D == 1) {
            // Words within 1.5 R: the quotient is 0 or a unit, and the sum
            // lies within R/2 + 1, for the pass below to settle.
            u = d0 + next1(d1, prev1);
        } else {
            const vd q2 = round_even(q1 * invv);
            d1 = q1 - q2 * Rv;
            d2 = q2;
            vd w;
            if (D == 4) {
                d3 = round_even(q2 * invv);
                d2 = q2 - d3 * Rv;
                w = d0 + next1(d1, prev1) + next2(d2, prev2) + next3(d3, prev3);
            } else {
                w = d0 + next1(d1, prev1) + next2(d2, prev2);
            }
            const vd s = round_even(w * invv);
            u = w - s * Rv + next1(s, prev_s);
            prev_s = s;
        }
        prev1 = d1;
        prev2 = d2;
        prev3 = d3;
        if (carry != 0 || simd::any(simd::vabs(u) > hv)) {
            for (int l = L - 1; l >= 0; --l) {
                double y = u[l] + carry;
                carry = 0;
                if (y > h) {
                    y -= R;
                    carry = 1;
                } else if (y < -h) {
                    y += R;
                    carry = -1;
                }
                u[l] = y;
            }
        }
        simd::store(v + i, u);
    }
    // What the first vector sends in front of it, then the head by hand.
    v[head - 1] += prev1[0] + prev2[1] + prev3[2] + prev_s[0] + carry;
    v[head - 2] += prev2[0] + prev3[1];
    v[head - 3] += prev3[0];
    normalize_balanced_short(v, head);
}

// Words already balanced but for the first few need only those carried;
// one digit does for words within 1.5 R (sums of balanced numbers, small
// multiples), three for words below R^3 / 2, four for any below 2^53.
void normalize_balanced(double* v, int n)
{
    constexpr int L = simd::kLanes;
    vd big = simd::broadcast(0.0);
    int m = 4;
    for (; m + L <= n; m += L) big = simd::vmax(big, simd::vabs(simd::load(v + m)));
    double largest = simd::hmax(big);
    for (; m < n; ++m) largest = std::fmax(largest, std::fabs(v[m]));
    const double R = g_radix;
    if (largest <= R / 2) {
        normalize_balanced_short(v, 4);
    } else if (largest < 1.5 * R) {
        normalize_balanced_digits<1>(v, n);
    } else if (largest < 0.5 * R * R * R) {
        normalize_balanced_digits<3>(v, n);
    } else {
        normalize_balanced_digits<4>(v, n);
    }
}

}  // namespace

// Non-negative form: the balanced form, then one borrow pass from the last
// word, without branches (the signs of balanced words are anybody's guess):
// a word of -R/2 or more, less a borrow of 1, is more than -R, so one R
// added to a negative word brings it into [0, R-1].
static void normalize_nonnegative(double* v, int n)
{
    if (n < 16) {
        normalize_balanced_short(v, n);
    } else {
        normalize_balanced(v, n);
    }
    const double R = g_radix;
    double borrow = 0;
    for (int i = n - 1; i >= 1; --i) {
        const double x = v[i] - borrow;
        borrow = x < 0 ? 1.0 : 0.0;
        v[i] = x + borrow * R;
    }
    v[0] -= borrow;
}

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

void ln_from_words(const double* v, int count, double exponent, LongNum* z, int n)
{
    int lead = 0;
    while (lead < count && v[lead] == 0) ++lead;
    const int keep = imin2(n, count - lead);
    z[0] = exponent - lead;
    words_copy(v + lead, z + 1, keep);
    words_fill(0, z + 1 + keep, n - keep);
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


int ipow(int a, int n)
{
    int p = 1;
    for (int i = 0; i < n; ++i) p *= a;
    return p;
}


int ilog2(int n) { return static_cast<int>(std::log(n + 0.5) / std::log(2.0)); }
