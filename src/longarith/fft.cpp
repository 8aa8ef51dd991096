#include "longarith/fft.h"

#include <cassert>
#include <cmath>

#include "longarith/longnum.h"
#include "longarith/pages.h"
#include "longarith/simd.h"

using simd::broadcast;
using simd::kLanes;
using simd::load;
using simd::store;
using simd::vd;
using simd::vl;

// The forward transform is a decimation in frequency: radix-4 passes from the
// full length down to blocks of 32 or 64, a radix-2 pass on blocks of 16 when
// the length needs it, and last 8-point transforms done eight at a time on an
// 8x8 transposed tile. Its output order is a fixed permutation that only the
// inverse, which runs the same steps backwards, has to know. Lengths above
// kBlock are split depth-first so that the inner passes run in cache.

namespace {

constexpr int kBlock = 1 << 13;                  // passes below this length run block by block

// Radix-4 twiddles of block length s (32 <= s <= kFftMaxLength), at offset
// 3 (s - 32) / 2: for each group of eight j < s/4, eight lanes each of
// Re w^j, Im w^j, Re w^2j, Im w^2j, Re w^3j, Im w^3j with w = exp(-2 pi i / s).
alignas(64) double twiddle4[3 * kFftMaxLength];
// Weights of transform length n (kFftMinLength <= n <= kFftMaxLength), at offset
// (n - kFftMinLength) / 2: for each group of eight positions j < n/4, eight cosines
// and then eight sines of pi j / (2n). Position j + t n/4 has the weight of j
// times exp(i pi t / 8).
alignas(64) double weights[kFftMaxLength];
double quarter_turn[2][4];   // Re, Im of exp(i pi t / 8), t < 4
alignas(64) double twiddle16[16];   // Re, Im of exp(-2 pi i j / 16), j < 8

const double kHalfSqrt2 = 0.70710678118654752440;

inline const double* twiddles_of(int s) { return twiddle4 + 3 * (s - 32) / 2; }
inline const double* weights_of(int n) { return weights + (n - kFftMinLength) / 2; }

// exp(2 pi i k / M) from cosines and sines of the first octant of the circle
// of M points (angles up to pi/4, where the long double functions need no
// argument reduction) and the exact symmetries of the circle. M is a multiple
// of 8; the octant tables hold M/8 + 1 entries.
struct Octant {
    long M;
    double* cos;
    double* sin;
};

void fill_octant(const Octant& o)
{
    // Angles 64 u + v steps: long double products of a coarse and a fine
    // rotation, each from cosl and sinl.
    const long M = o.M;
    const long double step = 6.283185307179586476925286766559L / M;
    long double fine_cos[64], fine_sin[64];
    for (int v = 0; v < 64; ++v) {
        fine_cos[v] = cosl(step * v);
        fine_sin[v] = sinl(step * v);
    }
    for (long u = 0; 64 * u <= M / 8; ++u) {
        const long double cu = cosl(step * (64 * u)), su = sinl(step * (64 * u));
        for (long v = 0; v < 64 && 64 * u + v <= M / 8; ++v) {
            o.cos[64 * u + v] = static_cast<double>(cu * fine_cos[v] - su * fine_sin[v]);
            o.sin[64 * u + v] = static_cast<double>(su * fine_cos[v] + cu * fine_sin[v]);
        }
    }
}

// exp(2 pi i k / M) for -M < k < M: the quadrant by comparisons, not
// divisions, as the tables ask for many of them.
inline void unit_root(const Octant& o, long k, double* c, double* s)
{
    const long M = o.M;
    if (k < 0) k += M;
    const long quarter = M / 4;
    int q = 0;
    while (k >= quarter) {
        k -= quarter;
        ++q;
    }
    double x, y;
    if (k <= quarter / 2) {
        x = o.cos[k];
        y = o.sin[k];
    } else {
        x = o.sin[quarter - k];
        y = o.cos[quarter - k];
    }
    switch (q) {
    case 0: *c = x; *s = y; break;
    case 1: *c = -y; *s = x; break;
    case 2: *c = -x; *s = -y; break;
    default: *c = y; *s = -x; break;
    }
}

// The circles the tables are read from: one of 4n points for the powers of
// two up to n, one of 12q points for the lengths 3q up to 3q. A run makes
// them once for its longest lengths (fft_prepare); a longer length makes its
// circle again, and the tables made from the shorter one stay right.
alignas(64) double octant_cos[kFftMaxLength / 2 + 1];
alignas(64) double octant_sin[kFftMaxLength / 2 + 1];
int circle_length = 0;   // the longest power of two the circle serves

Octant circle(int n)
{
    if (n > circle_length) {
        fill_octant(Octant{4L * n, octant_cos, octant_sin});
        circle_length = n;
    }
    return Octant{4L * circle_length, octant_cos, octant_sin};
}

// The tables are made length by length, when a transform first needs them.
unsigned twiddles_ready = 0;   // bit k: the radix-4 twiddles of block length 2^k
unsigned weights_ready = 0;    // bit k: the weights of transform length 2^k

// The twiddles of every block length from 32 to s, and the constants.
void need_twiddles(int s)
{
    const unsigned all = (2U * s - 1) & ~31U;   // bits 5 .. log2 s
    if ((twiddles_ready & all) == all) return;
    const Octant o = circle(s);
    const long M = o.M;
    for (int len = 32; len <= s; len *= 2) {
        if (twiddles_ready & len) continue;
        double* t = twiddle4 + 3 * (len - 32) / 2;
        for (int j = 0; j < len / 4; ++j) {
            double* g = t + 6 * kLanes * (j / kLanes) + j % kLanes;
            for (int m = 1; m <= 3; ++m)   // exp(-2 pi i m j / len)
                unit_root(o, -static_cast<long>(m) * j * (M / len), &g[(2 * m - 2) * kLanes],
                          &g[(2 * m - 1) * kLanes]);
        }
        twiddles_ready |= len;
    }
    for (int t = 0; t < 4; ++t) unit_root(o, t * (M / 16), &quarter_turn[0][t], &quarter_turn[1][t]);
    for (int j = 0; j < 8; ++j) unit_root(o, -static_cast<long>(j) * (M / 16), &twiddle16[j], &twiddle16[8 + j]);
}

// The tables of a transform of power-of-two length n.
void fill_tables(int n)
{
    need_twiddles(n);
    if (weights_ready & n) return;
    const Octant o = circle(n);
    double* w = weights + (n - kFftMinLength) / 2;
    for (int j = 0; j < n / 4; ++j) {   // exp(i pi j / (2 n))
        double* g = w + 2 * kLanes * (j / kLanes) + j % kLanes;
        unit_root(o, static_cast<long>(j) * (o.M / (4 * n)), &g[0], &g[kLanes]);
    }
    weights_ready |= n;
}

// Tables of the lengths m = 3 q, q = 2^k from kMinThird to kFftMaxLength / 4:
// a radix-3 pass over the thirds, then transforms of length q on each.
constexpr int kMinThird = 64;
constexpr int kMaxThird = kFftMaxLength / 4;
// Radix-3 twiddles of length m, at offset 4 (q - kMinThird): for each group
// of eight j < q, eight lanes each of Re w^j, Im w^j, Re w^2j, Im w^2j with
// w = exp(-2 pi i / m).
alignas(64) double twiddle3[4 * 2 * kMaxThird];
// Weights of length m, at offset 2 (q - kMinThird): for each group of eight
// j < q, eight cosines and then eight sines of pi j / (2m). Position j + t q
// has the weight of j times exp(i pi t / 6).
alignas(64) double weights3[2 * 2 * kMaxThird];
double sixth_turn[2][3];   // Re, Im of exp(i pi t / 6), t < 3
alignas(64) double octant3_cos[3 * kMaxThird / 2 + 1];
alignas(64) double octant3_sin[3 * kMaxThird / 2 + 1];
int circle3_third = 0;     // the longest third q the circle of 12 q serves
unsigned thirds_ready = 0;   // bit k: the tables of the length 3 2^k

inline const double* twiddles3_of(int q) { return twiddle3 + 4 * (q - kMinThird); }
inline const double* weights3_of(int q) { return weights3 + 2 * (q - kMinThird); }

Octant circle3(int q)
{
    if (q > circle3_third) {
        fill_octant(Octant{12L * q, octant3_cos, octant3_sin});
        circle3_third = q;
    }
    return Octant{12L * circle3_third, octant3_cos, octant3_sin};
}

// The tables of a transform of length 3q: its own, and the twiddles of the
// transforms of length q.
void fill_tables3(int q)
{
    need_twiddles(q);
    if (thirds_ready & q) return;
    const Octant o = circle3(q);
    const long step = o.M / (3L * q);   // exp(2 pi i / (3 q))
    double* t = twiddle3 + 4 * (q - kMinThird);
    double* w = weights3 + 2 * (q - kMinThird);
    for (int j = 0; j < q; ++j) {
        double* g = t + 4 * kLanes * (j / kLanes) + j % kLanes;
        unit_root(o, -static_cast<long>(j) * step, &g[0], &g[kLanes]);
        unit_root(o, -2L * j * step, &g[2 * kLanes], &g[3 * kLanes]);
        double* h = w + 2 * kLanes * (j / kLanes) + j % kLanes;
        unit_root(o, static_cast<long>(j) * (step / 4), &h[0], &h[kLanes]);   // exp(i pi j / (2m))
    }
    for (int k = 0; k < 3; ++k) unit_root(o, k * (o.M / 12), &sixth_turn[0][k], &sixth_turn[1][k]);
    thirds_ready |= q;
}

// Forward radix-4 butterfly on (a0..a3) with twiddles at tw; results to the
// four quarters at re/im + j + t q.
inline void butterfly4(vd a0r, vd a0i, vd a1r, vd a1i, vd a2r, vd a2i, vd a3r, vd a3i, const double* tw,
                       double* re, double* im, int j, int q)
{
    const vd b0r = a0r + a2r, b0i = a0i + a2i;
    const vd b1r = a0r - a2r, b1i = a0i - a2i;
    const vd b2r = a1r + a3r, b2i = a1i + a3i;
    const vd b3r = a1r - a3r, b3i = a1i - a3i;
    const vd w1r = load(tw), w1i = load(tw + 8), w2r = load(tw + 16), w2i = load(tw + 24);
    const vd w3r = load(tw + 32), w3i = load(tw + 40);
    store(re + j, b0r + b2r);
    store(im + j, b0i + b2i);
    vd xr = b0r - b2r, xi = b0i - b2i;
    store(re + j + q, xr * w2r - xi * w2i);
    store(im + j + q, xr * w2i + xi * w2r);
    xr = b1r + b3i;   // b1 - i b3
    xi = b1i - b3r;
    store(re + j + 2 * q, xr * w1r - xi * w1i);
    store(im + j + 2 * q, xr * w1i + xi * w1r);
    xr = b1r - b3i;   // b1 + i b3
    xi = b1i + b3r;
    store(re + j + 3 * q, xr * w3r - xi * w3i);
    store(im + j + 3 * q, xr * w3i + xi * w3r);
}

void dif4(double* re, double* im, int s)
{
    const int q = s / 4;
    const double* tw = twiddles_of(s);
    for (int j = 0; j < q; j += kLanes, tw += 6 * kLanes) {
        butterfly4(load(re + j), load(im + j), load(re + j + q), load(im + j + q), load(re + j + 2 * q),
                   load(im + j + 2 * q), load(re + j + 3 * q), load(im + j + 3 * q), tw, re, im, j, q);
    }
}

// Inverse radix-4 butterfly of the four quarters at j: twiddles conjugated,
// no scaling. Results in a[t] (re) and b[t] (im), quarter order.
inline void butterfly4_inverse(const double* re, const double* im, int j, int q, const double* tw, vd* ar, vd* ai)
{
    const vd y0r = load(re + j), y0i = load(im + j);
    const vd y1r = load(re + j + q), y1i = load(im + j + q);
    const vd y2r = load(re + j + 2 * q), y2i = load(im + j + 2 * q);
    const vd y3r = load(re + j + 3 * q), y3i = load(im + j + 3 * q);
    const vd w1r = load(tw), w1i = load(tw + 8), w2r = load(tw + 16), w2i = load(tw + 24);
    const vd w3r = load(tw + 32), w3i = load(tw + 40);
    const vd u1r = y1r * w2r + y1i * w2i, u1i = y1i * w2r - y1r * w2i;
    const vd u2r = y2r * w1r + y2i * w1i, u2i = y2i * w1r - y2r * w1i;
    const vd u3r = y3r * w3r + y3i * w3i, u3i = y3i * w3r - y3r * w3i;
    const vd c0r = y0r + u1r, c0i = y0i + u1i;
    const vd c2r = y0r - u1r, c2i = y0i - u1i;
    const vd c1r = u2r + u3r, c1i = u2i + u3i;
    const vd c3r = u3i - u2i, c3i = u2r - u3r;   // i (u2 - u3)
    ar[0] = c0r + c1r;
    ai[0] = c0i + c1i;
    ar[2] = c0r - c1r;
    ai[2] = c0i - c1i;
    ar[1] = c2r + c3r;
    ai[1] = c2i + c3i;
    ar[3] = c2r - c3r;
    ai[3] = c2i - c3i;
}

void dit4(double* re, double* im, int s)
{
    const int q = s / 4;
    const double* tw = twiddles_of(s);
    for (int j = 0; j < q; j += kLanes, tw += 6 * kLanes) {
        vd ar[4], ai[4];
        butterfly4_inverse(re, im, j, q, tw, ar, ai);
        for (int t = 0; t < 4; ++t) {
            store(re + j + t * q, ar[t]);
            store(im + j + t * q, ai[t]);
        }
    }
}

// Radix-2 pass on blocks of 16 over [0, len).
void dif2_16(double* re, double* im, int len)
{
    const vd wr = load(twiddle16), wi = load(twiddle16 + 8);
    for (int b = 0; b < len; b += 16) {
        const vd ar = load(re + b), ai = load(im + b), cr = load(re + b + 8), ci = load(im + b + 8);
        store(re + b, ar + cr);
        store(im + b, ai + ci);
        const vd dr = ar - cr, di = ai - ci;
        store(re + b + 8, dr * wr - di * wi);
        store(im + b + 8, dr * wi + di * wr);
    }
}

void dit2_16(double* re, double* im, int len)
{
    const vd wr = load(twiddle16), wi = load(twiddle16 + 8);
    for (int b = 0; b < len; b += 16) {
        const vd ar = load(re + b), ai = load(im + b), cr = load(re + b + 8), ci = load(im + b + 8);
        const vd vr = cr * wr + ci * wi, vi = ci * wr - cr * wi;
        store(re + b, ar + vr);
        store(im + b, ai + vi);
        store(re + b + 8, ar - vr);
        store(im + b + 8, ai - vi);
    }
}

void transpose8(vd* r)
{
    vd t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = __builtin_shuffle(r[i], r[i + 1], vl{0, 8, 2, 10, 4, 12, 6, 14});
        t[i + 1] = __builtin_shuffle(r[i], r[i + 1], vl{1, 9, 3, 11, 5, 13, 7, 15});
    }
    for (int i = 0; i < 8; i += 4) {
        for (int k = 0; k < 2; ++k) {
            u[i + k] = __builtin_shuffle(t[i + k], t[i + k + 2], vl{0, 1, 8, 9, 4, 5, 12, 13});
            u[i + k + 2] = __builtin_shuffle(t[i + k], t[i + k + 2], vl{2, 3, 10, 11, 6, 7, 14, 15});
        }
    }
    for (int k = 0; k < 4; ++k) {
        r[k] = __builtin_shuffle(u[k], u[k + 4], vl{0, 1, 2, 3, 8, 9, 10, 11});
        r[k + 4] = __builtin_shuffle(u[k], u[k + 4], vl{4, 5, 6, 7, 12, 13, 14, 15});
    }
}

// A tile: eight vectors of eight, re and im.
inline void load_tile(const double* re, const double* im, vd* r, vd* i)
{
    for (int c = 0; c < 8; ++c) {
        r[c] = load(re + 8 * c);
        i[c] = load(im + 8 * c);
    }
}

inline void store_tile(const vd* r, const vd* i, double* re, double* im)
{
    for (int c = 0; c < 8; ++c) {
        store(re + 8 * c, r[c]);
        store(im + 8 * c, i[c]);
    }
}

// The radix-2 stage of neighbours (no twiddles: the same both ways).
inline void stage_of_pairs(vd* r, vd* i)
{
    for (int c = 0; c < 8; c += 2) {
        const vd dr = r[c] - r[c + 1], di = i[c] - i[c + 1];
        r[c] += r[c + 1];
        i[c] += i[c + 1];
        r[c + 1] = dr;
        i[c + 1] = di;
    }
}

// The last three radix-2 stages of every block of 8, eight blocks at a time:
// after the transpose, vector c holds element c of eight blocks.
void dif8_tiles(double* re, double* im, int len)
{
    const vd h = broadcast(kHalfSqrt2);
    for (int g = 0; g < len; g += 64) {
        vd r[8], i[8];
        load_tile(re + g, im + g, r, i);
        transpose8(r);
        transpose8(i);
        for (int c = 0; c < 4; ++c) {
            const vd dr = r[c] - r[c + 4], di = i[c] - i[c + 4];
            r[c] += r[c + 4];
            i[c] += i[c + 4];
            switch (c) {
            case 0: r[4] = dr; i[4] = di; break;
            case 1: r[5] = (dr + di) * h; i[5] = (di - dr) * h; break;
            case 2: r[6] = di; i[6] = -dr; break;
            default: r[7] = (di - dr) * h; i[7] = -(dr + di) * h; break;
            }
        }
        for (int base = 0; base < 8; base += 4) {
            vd dr = r[base] - r[base + 2], di = i[base] - i[base + 2];
            r[base] += r[base + 2];
            i[base] += i[base + 2];
            r[base + 2] = dr;
            i[base + 2] = di;
            dr = r[base + 1] - r[base + 3];
            di = i[base + 1] - i[base + 3];
            r[base + 1] += r[base + 3];
            i[base + 1] += i[base + 3];
            r[base + 3] = di;
            i[base + 3] = -dr;
        }
        stage_of_pairs(r, i);
        store_tile(r, i, re + g, im + g);
    }
}

void dit8_tiles(double* re, double* im, int len)
{
    const vd h = broadcast(kHalfSqrt2);
    for (int g = 0; g < len; g += 64) {
        vd r[8], i[8];
        load_tile(re + g, im + g, r, i);
        stage_of_pairs(r, i);
        for (int base = 0; base < 8; base += 4) {
            vd vr = r[base + 2], vi = i[base + 2];
            r[base + 2] = r[base] - vr;
            i[base + 2] = i[base] - vi;
            r[base] += vr;
            i[base] += vi;
            vr = -i[base + 3];   // times i
            vi = r[base + 3];
            r[base + 3] = r[base + 1] - vr;
            i[base + 3] = i[base + 1] - vi;
            r[base + 1] += vr;
            i[base + 1] += vi;
        }
        for (int c = 0; c < 4; ++c) {
            const vd xr = r[c + 4], xi = i[c + 4];
            vd vr, vi;
            switch (c) {
            case 0: vr = xr; vi = xi; break;
            case 1: vr = (xr - xi) * h; vi = (xr + xi) * h; break;
            case 2: vr = -xi; vi = xr; break;
            default: vr = -(xr + xi) * h; vi = (xr - xi) * h; break;
            }
            r[c + 4] = r[c] - vr;
            i[c + 4] = i[c] - vi;
            r[c] += vr;
            i[c] += vi;
        }
        transpose8(r);
        transpose8(i);
        store_tile(r, i, re + g, im + g);
    }
}

// All passes of blocks of length s and below over [0, len).
void dif_passes(double* re, double* im, int len, int s)
{
    for (; s >= 32; s /= 4) {
        for (int b = 0; b < len; b += s) dif4(re + b, im + b, s);
    }
    if (s == 16) dif2_16(re, im, len);
    dif8_tiles(re, im, len);
}

// Exactly the reverse of dif_passes(re, im, len, s).
void dit_passes(double* re, double* im, int len, int s)
{
    int low = s;
    while (low >= 128) low /= 4;   // the shortest radix-4 block (32 or 64), or 16 or 8 if none
    dit8_tiles(re, im, len);
    if (low == 64 || low == 16) dit2_16(re, im, len);
    for (int t = low >= 32 ? low : 4 * s; t <= s; t *= 4) {
        for (int b = 0; b < len; b += t) dit4(re + b, im + b, t);
    }
}

void dif_block(double* re, double* im, int s)
{
    if (s <= kBlock) {
        dif_passes(re, im, s, s);
        return;
    }
    dif4(re, im, s);
    for (int k = 0; k < 4; ++k) dif_block(re + k * (s / 4), im + k * (s / 4), s / 4);
}

void dit_block(double* re, double* im, int s)
{
    if (s <= kBlock) {
        dit_passes(re, im, s, s);
        return;
    }
    for (int k = 0; k < 4; ++k) dit_block(re + k * (s / 4), im + k * (s / 4), s / 4);
    dit4(re, im, s);
}


// Words of weight R^j .. R^(j+7) of a (len words, units last), zero from
// weight R^len on: lane i holds a[len - 1 - j - i].
inline vd load_words(const double* a, int len, int j)
{
    if (j + kLanes <= len) return simd::reverse(load(a + len - kLanes - j));
    vd v = broadcast(0.0);
    if (j >= len) return v;
    for (int i = 0; i < kLanes && j + i < len; ++i) v[i] = a[len - 1 - j - i];
    return v;
}

// The words of weight R^k .. R^(k+7) times their weights wr + i wi; when the
// operand wraps, those of weight R^(k+m) join them as imaginary parts.
template <bool kWrapped>
inline void weighted_words(const double* a, int len, int k, int m, vd wr, vd wi, vd* xr, vd* xi)
{
    const vd x = load_words(a, len, k);
    if (kWrapped) {
        const vd y = load_words(a, len, k + m);
        *xr = x * wr - y * wi;
        *xi = x * wi + y * wr;
    } else {
        *xr = x * wr;
        *xi = x * wi;
    }
}

// The first pass reads the words and applies the weights on the way: the
// word of weight R^k goes in at index k (k < m) with the weight z^k, z^m = i;
// the word of weight R^(k+m) joins it as the imaginary part.
template <bool kWrapped>
void dif4_first(const double* a, int len, double* re, double* im, int m)
{
    const int q = m / 4;
    const double* tw = twiddles_of(m);
    const double* w = weights_of(m);
    for (int j = 0; j < q; j += kLanes, tw += 6 * kLanes, w += 2 * kLanes) {
        const vd c = load(w), s = load(w + kLanes);
        vd xr[4], xi[4];
        for (int t = 0; t < 4; ++t) {
            const double tr = quarter_turn[0][t], ti = quarter_turn[1][t];
            const vd wr = c * tr - s * ti, wi = c * ti + s * tr;
            weighted_words<kWrapped>(a, len, j + t * q, m, wr, wi, &xr[t], &xi[t]);
        }
        butterfly4(xr[0], xi[0], xr[1], xi[1], xr[2], xi[2], xr[3], xi[3], tw, re, im, j, q);
    }
}

// Rounds half up: floor(x + 0.5).
inline vd round_half_up(vd x) { return simd::floor(x + 0.5); }

// Stores the rounded coefficients c_k .. c_(k+7) (lane i: c_(k+i), x its
// unrounded value) at out[count - 1 - k - i]; those of index count or more
// have no place and count by their distance from zero. Returns err with
// their distances from the whole numbers folded in.
inline vd store_coefficients(double* out, int count, int k, vd x, vd err)
{
    if (k >= count) return simd::vmax(err, simd::vabs(x));
    const vd r = round_half_up(x);
    if (k + kLanes <= count) {
        store(out + count - kLanes - k, simd::reverse(r));
        return simd::vmax(err, simd::vabs(r - x));
    }
    for (int i = 0; i < kLanes; ++i) {
        if (k + i < count) {
            out[count - 1 - k - i] = r[i];
            err[i] = std::fmax(err[i], std::fabs(r[i] - x[i]));
        } else {
            err[i] = std::fmax(err[i], std::fabs(x[i]));
        }
    }
    return err;
}


// Position k of the last inverse pass, a + i b, times the conjugate weight
// c - i s: its real part is c_k, its imaginary part c_(k+m).
inline vd store_position(double* out, int count, int k, int m, vd a, vd b, vd c, vd s, vd err)
{
    err = store_coefficients(out, count, k, a * c + b * s, err);
    return store_coefficients(out, count, k + m, b * c - a * s, err);
}

const double kSqrt3Half = 0.86602540378443864676;

// The first pass of a length m = 3q: the weights, as in dif4_first (a
// position j + t q has the weight of j times exp(i pi t / 6)), and a radix-3
// butterfly whose outputs t = 1, 2 take the twiddles w^j, w^2j; third t goes
// to positions t q .. t q + q - 1, for a transform of length q of its own.
template <bool kWrapped>
void dif3_first(const double* a, int len, double* re, double* im, int q)
{
    const int m = 3 * q;
    const double* tw = twiddles3_of(q);
    const double* w = weights3_of(q);
    const vd half = broadcast(0.5), c3 = broadcast(kSqrt3Half);
    for (int j = 0; j < q; j += kLanes, tw += 4 * kLanes, w += 2 * kLanes) {
        const vd c = load(w), s = load(w + kLanes);
        vd xr[3], xi[3];
        for (int t = 0; t < 3; ++t) {
            const double tr = sixth_turn[0][t], ti = sixth_turn[1][t];
            const vd wr = c * tr - s * ti, wi = c * ti + s * tr;
            weighted_words<kWrapped>(a, len, j + t * q, m, wr, wi, &xr[t], &xi[t]);
        }
        const vd sr = xr[1] + xr[2], si = xi[1] + xi[2];
        const vd dr = xr[1] - xr[2], di = xi[1] - xi[2];
        store(re + j, xr[0] + sr);
        store(im + j, xi[0] + si);
        const vd ur = xr[0] - half * sr, ui = xi[0] - half * si;
        const vd y1r = ur + c3 * di, y1i = ui - c3 * dr;   // u - i c d
        const vd y2r = ur - c3 * di, y2i = ui + c3 * dr;   // u + i c d
        const vd w1r = load(tw), w1i = load(tw + kLanes), w2r = load(tw + 2 * kLanes), w2i = load(tw + 3 * kLanes);
        store(re + j + q, y1r * w1r - y1i * w1i);
        store(im + j + q, y1r * w1i + y1i * w1r);
        store(re + j + 2 * q, y2r * w2r - y2i * w2i);
        store(im + j + 2 * q, y2r * w2i + y2i * w2r);
    }
}

// The power-of-two length m or the third q of m = 3q.
inline bool is_power_of_two(int m) { return (m & (m - 1)) == 0; }

// Whether m is one of the transform lengths.
[[maybe_unused]] bool is_length(int m)
{
    if (m >= kFftMinLength && m <= kFftMaxLength && is_power_of_two(m)) return true;
    return m % 3 == 0 && m / 3 >= kMinThird && m / 3 <= kMaxThird && is_power_of_two(m / 3);
}
}  // namespace

int fft_length(int count)
{
    assert(count >= 1 && count <= 2 * kFftMaxLength);
    int m = kFftMinLength;
    while (2 * m < count) m *= 2;
    // Three quarters of it, where that is a length and holds the product.
    const int three = m / 4 * 3;
    if (three / 3 >= kMinThird && 2 * three >= count) return three;
    return m;
}

void fft_prepare(int m)
{
    assert(m >= 1 && m <= kFftMaxLength);
    int n = kFftMinLength;   // the longest power of two and third up to m
    while (2 * n <= m) n *= 2;
    const int q = m >= 3 * n / 2 && n / 2 >= kMinThird ? n / 2 : n / 4;
    // The circles, once for the run; the parts of the tables its lengths may
    // use, before their first touch.
    pages_prepare(octant_cos, (n / 2 + 1) * sizeof(double));
    pages_prepare(octant_sin, (n / 2 + 1) * sizeof(double));
    pages_prepare(twiddle4, (3UL * n) * sizeof(double));
    pages_prepare(weights, static_cast<unsigned long>(n) * sizeof(double));
    circle(n);
    if (q >= kMinThird) {
        pages_prepare(octant3_cos, (3 * q / 2 + 1) * sizeof(double));
        pages_prepare(octant3_sin, (3 * q / 2 + 1) * sizeof(double));
        pages_prepare(twiddle3, (8UL * q) * sizeof(double));
        pages_prepare(weights3, (4UL * q) * sizeof(double));
        circle3(q);
    }
}

void fft_forward(const double* a, int len, double* spectrum, int m)
{
    assert(is_length(m) && len >= 1 && len <= 2 * m);
    assert(words_apart(a, len, spectrum, 2L * m));
    double* re = spectrum;
    double* im = spectrum + m;
    if (!is_power_of_two(m)) {
        const int q = m / 3;
        fill_tables3(q);
        if (len > m) {
            dif3_first<true>(a, len, re, im, q);
        } else {
            dif3_first<false>(a, len, re, im, q);
        }
        for (int t = 0; t < 3; ++t) dif_block(re + t * q, im + t * q, q);
        return;
    }
    fill_tables(m);
    if (len > m) {
        dif4_first<true>(a, len, re, im, m);
    } else {
        dif4_first<false>(a, len, re, im, m);
    }
    if (m <= kBlock) {
        dif_passes(re, im, m, m / 4);
    } else {
        for (int k = 0; k < 4; ++k) dif_block(re + k * (m / 4), im + k * (m / 4), m / 4);
    }
}

void fft_pointwise(const double* x, const double* y, double* z, int m)
{
    assert(is_length(m));
    for (int k = 0; k < m; k += kLanes) {
        const vd xr = load(x + k), xi = load(x + m + k), yr = load(y + k), yi = load(y + m + k);
        store(z + k, xr * yr - xi * yi);
        store(z + m + k, xr * yi + xi * yr);
    }
}

void fft_pointwise_add(const double* x, const double* y, double* z, int m)
{
    assert(is_length(m));
    for (int k = 0; k < m; k += kLanes) {
        const vd xr = load(x + k), xi = load(x + m + k), yr = load(y + k), yi = load(y + m + k);
        store(z + k, load(z + k) + (xr * yr - xi * yi));
        store(z + m + k, load(z + m + k) + (xr * yi + xi * yr));
    }
}

// The inverse of a length m = 3q: the transforms of the thirds, then the
// radix-3 butterflies with conjugate twiddles, the conjugate weights and 1/m.
static double inverse3(double* re, double* im, double* out, int count, int q)
{
    fill_tables3(q);
    const int m = 3 * q;
    for (int t = 0; t < 3; ++t) dit_block(re + t * q, im + t * q, q);
    const double* tw = twiddles3_of(q);
    const double* w = weights3_of(q);
    const vd scale = broadcast(1.0 / m), half = broadcast(0.5), c3 = broadcast(kSqrt3Half);
    vd err = broadcast(0.0);
    for (int j = 0; j < q; j += kLanes, tw += 4 * kLanes, w += 2 * kLanes) {
        const vd y0r = load(re + j), y0i = load(im + j);
        const vd y1r = load(re + j + q), y1i = load(im + j + q);
        const vd y2r = load(re + j + 2 * q), y2i = load(im + j + 2 * q);
        const vd w1r = load(tw), w1i = load(tw + kLanes), w2r = load(tw + 2 * kLanes), w2i = load(tw + 3 * kLanes);
        const vd z1r = y1r * w1r + y1i * w1i, z1i = y1i * w1r - y1r * w1i;
        const vd z2r = y2r * w2r + y2i * w2i, z2i = y2i * w2r - y2r * w2i;
        const vd sr = z1r + z2r, si = z1i + z2i;
        const vd dr = z1r - z2r, di = z1i - z2i;
        const vd ur = y0r - half * sr, ui = y0i - half * si;
        vd ar[3], ai[3];
        ar[0] = y0r + sr;
        ai[0] = y0i + si;
        ar[1] = ur - c3 * di;   // u + i c d
        ai[1] = ui + c3 * dr;
        ar[2] = ur + c3 * di;   // u - i c d
        ai[2] = ui - c3 * dr;
        const vd cj = load(w) * scale, sj = load(w + kLanes) * scale;
        for (int t = 0; t < 3; ++t) {
            const int k = j + t * q;
            const double tr = sixth_turn[0][t], ti = sixth_turn[1][t];
            err = store_position(out, count, k, m, ar[t], ai[t], cj * tr - sj * ti, cj * ti + sj * tr, err);
        }
    }
    return simd::hmax(err);
}

double fft_inverse(double* spectrum, double* out, int count, int m)
{
    assert(is_length(m) && count >= 1 && count <= 2 * m);
    assert(words_apart(spectrum, 2L * m, out, count));
    double* re = spectrum;
    double* im = spectrum + m;
    if (!is_power_of_two(m)) return inverse3(re, im, out, count, m / 3);
    fill_tables(m);
    if (m <= kBlock) {
        dit_passes(re, im, m, m / 4);
    } else {
        for (int k = 0; k < 4; ++k) dit_block(re + k * (m / 4), im + k * (m / 4), m / 4);
    }

    // Last pass: the inverse butterflies of the full length, then the
    // conjugate weights and 1/m: index k holds c_k + i c_(k+m).
    const int q = m / 4;
    const double* tw = twiddles_of(m);
    const double* w = weights_of(m);
    const vd scale = broadcast(1.0 / m);
    vd err = broadcast(0.0);
    for (int j = 0; j < q; j += kLanes, tw += 6 * kLanes, w += 2 * kLanes) {
        vd ar[4], ai[4];
        butterfly4_inverse(re, im, j, q, tw, ar, ai);
        const vd cj = load(w) * scale, sj = load(w + kLanes) * scale;
        for (int t = 0; t < 4; ++t) {
            const int k = j + t * q;
            const double tr = quarter_turn[0][t], ti = quarter_turn[1][t];
            err = store_position(out, count, k, m, ar[t], ai[t], cj * tr - sj * ti, cj * ti + sj * tr, err);
        }
    }
    return simd::hmax(err);
}
