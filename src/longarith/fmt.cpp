#include "longarith/fmt.h"

#include <cmath>

#include "longarith/check.h"
#include "longarith/linear.h"
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

constexpr int kMinFft = 2 * kFmtSchoolbookMax;   // shortest transform
constexpr int kBlock = 1 << 13;                  // passes below this length run block by block

// Radix-4 twiddles of block length s (32 <= s <= kFmtMaxSize), at offset
// 3 (s - 32) / 2: for each group of eight j < s/4, eight lanes each of
// Re w^j, Im w^j, Re w^2j, Im w^2j, Re w^3j, Im w^3j with w = exp(-2 pi i / s).
alignas(kHugePageBytes) double twiddle4[3 * kFmtMaxSize];
// Weights of transform length n (kMinFft <= n <= kFmtMaxSize), at offset
// (n - kMinFft) / 2: for each group of eight positions j < n/4, eight cosines
// and then eight sines of pi j / (2n). Position j + t n/4 has the weight of j
// times exp(i pi t / 8).
alignas(kHugePageBytes) double weights[kFmtMaxSize];
double quarter_turn[2][4];   // Re, Im of exp(i pi t / 8), t < 4
alignas(64) double twiddle16[16];   // Re, Im of exp(-2 pi i j / 16), j < 8
int tables_ready = 0;               // the tables hold every length up to this

const double kHalfSqrt2 = 0.70710678118654752440;

inline const double* twiddles_of(int s) { return twiddle4 + 3 * (s - 32) / 2; }
inline const double* weights_of(int n) { return weights + (n - kMinFft) / 2; }

// exp(2 pi i k / M) for M = 4 * tables_ready, from cosines and sines of the
// first octant (angles up to pi/4, where the long double functions need no
// argument reduction) and the exact symmetries of the circle.
alignas(64) double octant_cos[kFmtMaxSize / 2 + 1];
alignas(64) double octant_sin[kFmtMaxSize / 2 + 1];

inline void unit_root(long k, long M, double* c, double* s)
{
    k &= M - 1;
    const long quarter = M / 4;
    const long q = k / quarter, r = k % quarter;
    double x, y;
    if (r <= quarter / 2) {
        x = octant_cos[r];
        y = octant_sin[r];
    } else {
        x = octant_sin[quarter - r];
        y = octant_cos[quarter - r];
    }
    switch (q) {
    case 0: *c = x; *s = y; break;
    case 1: *c = -y; *s = x; break;
    case 2: *c = -x; *s = -y; break;
    default: *c = y; *s = -x; break;
    }
}

void fill_tables(int n)
{
    if (n <= tables_ready) return;
    if (tables_ready == 0) {   // before the first touch: pages already touched stay small
        pages_advise_huge(twiddle4, sizeof twiddle4);
        pages_advise_huge(weights, sizeof weights);
    }
    const long M = 4L * n;
    // Angles 64 u + v steps: long double products of a coarse and a fine
    // rotation, each from cosl and sinl.
    const long double step = 6.283185307179586476925286766559L / M;
    long double fine_cos[64], fine_sin[64];
    for (int v = 0; v < 64; ++v) {
        fine_cos[v] = cosl(step * v);
        fine_sin[v] = sinl(step * v);
    }
    for (long u = 0; 64 * u <= M / 8; ++u) {
        const long double cu = cosl(step * (64 * u)), su = sinl(step * (64 * u));
        for (long v = 0; v < 64 && 64 * u + v <= M / 8; ++v) {
            octant_cos[64 * u + v] = static_cast<double>(cu * fine_cos[v] - su * fine_sin[v]);
            octant_sin[64 * u + v] = static_cast<double>(su * fine_cos[v] + cu * fine_sin[v]);
        }
    }
    for (int s = 32; s <= n; s *= 2) {
        double* t = twiddle4 + 3 * (s - 32) / 2;
        for (int j = 0; j < s / 4; ++j) {
            double* g = t + 6 * kLanes * (j / kLanes) + j % kLanes;
            for (int m = 1; m <= 3; ++m)   // exp(-2 pi i m j / s)
                unit_root(-static_cast<long>(m) * j * (M / s), M, &g[(2 * m - 2) * kLanes], &g[(2 * m - 1) * kLanes]);
        }
    }
    for (int len = kMinFft; len <= n; len *= 2) {
        double* w = weights + (len - kMinFft) / 2;
        for (int j = 0; j < len / 4; ++j) {   // exp(i pi j / (2 len))
            double* g = w + 2 * kLanes * (j / kLanes) + j % kLanes;
            unit_root(static_cast<long>(j) * (M / (4 * len)), M, &g[0], &g[kLanes]);
        }
    }
    for (int t = 0; t < 4; ++t) unit_root(t * (M / 16), M, &quarter_turn[0][t], &quarter_turn[1][t]);
    for (int j = 0; j < 8; ++j) unit_root(-static_cast<long>(j) * (M / 16), M, &twiddle16[j], &twiddle16[8 + j]);
    tables_ready = n;
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

// The first pass reads the real words and applies the weights on the way.
// With part 1 or 2 it transforms instead the high or the low half of each
// word, w = S hi + lo with hi = round(w / S) (S a power of two).
void dif4_first(const double* a, double* re, double* im, int n, int part, double S)
{
    const int q = n / 4;
    const double* tw = twiddles_of(n);
    const double* w = weights_of(n);
    const vd scale = broadcast(S), inv = broadcast(1 / S);
    for (int j = 0; j < q; j += kLanes, tw += 6 * kLanes, w += 2 * kLanes) {
        const vd c = load(w), s = load(w + kLanes);
        vd xr[4], xi[4];
        for (int t = 0; t < 4; ++t) {
            vd x = load(a + j + t * q);
            if (part != 0) {
                const vd hi = simd::round_even(x * inv);
                x = part == 1 ? hi : x - hi * scale;
            }
            const double tr = quarter_turn[0][t], ti = quarter_turn[1][t];
            xr[t] = x * (c * tr - s * ti);
            xi[t] = x * (c * ti + s * tr);
        }
        butterfly4(xr[0], xi[0], xr[1], xi[1], xr[2], xi[2], xr[3], xi[3], tw, re, im, j, q);
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

// The last three radix-2 stages of every block of 8, eight blocks at a time:
// after the transpose, vector c holds element c of eight blocks.
void dif8_tiles(double* re, double* im, int len)
{
    const vd h = broadcast(kHalfSqrt2);
    for (int g = 0; g < len; g += 64) {
        vd r[8], i[8];
        for (int c = 0; c < 8; ++c) {
            r[c] = load(re + g + 8 * c);
            i[c] = load(im + g + 8 * c);
        }
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
        for (int c = 0; c < 8; c += 2) {
            const vd dr = r[c] - r[c + 1], di = i[c] - i[c + 1];
            r[c] += r[c + 1];
            i[c] += i[c + 1];
            r[c + 1] = dr;
            i[c + 1] = di;
        }
        for (int c = 0; c < 8; ++c) {
            store(re + g + 8 * c, r[c]);
            store(im + g + 8 * c, i[c]);
        }
    }
}

void dit8_tiles(double* re, double* im, int len)
{
    const vd h = broadcast(kHalfSqrt2);
    for (int g = 0; g < len; g += 64) {
        vd r[8], i[8];
        for (int c = 0; c < 8; ++c) {
            r[c] = load(re + g + 8 * c);
            i[c] = load(im + g + 8 * c);
        }
        for (int c = 0; c < 8; c += 2) {
            const vd dr = r[c] - r[c + 1], di = i[c] - i[c + 1];
            r[c] += r[c + 1];
            i[c] += i[c + 1];
            r[c + 1] = dr;
            i[c + 1] = di;
        }
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
        for (int c = 0; c < 8; ++c) {
            store(re + g + 8 * c, r[c]);
            store(im + g + 8 * c, i[c]);
        }
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

}  // namespace

// The forward transform of a, or of the high or low halves of its words.
static void forward(const double* a, double* spectrum, int n, int part, double S)
{
    fill_tables(n);
    double* re = spectrum;
    double* im = spectrum + n;
    dif4_first(a, re, im, n, part, S);
    if (n <= kBlock) {
        dif_passes(re, im, n, n / 4);
    } else {
        for (int k = 0; k < 4; ++k) dif_block(re + k * (n / 4), im + k * (n / 4), n / 4);
    }
}

void fmt_forward(const double* a, double* spectrum, int n) { forward(a, spectrum, n, 0, 1); }

void fmt_pointwise(const double* x, const double* y, double* z, int n)
{
    for (int k = 0; k < n; k += kLanes) {
        const vd xr = load(x + k), xi = load(x + n + k), yr = load(y + k), yi = load(y + n + k);
        store(z + k, xr * yr - xi * yi);
        store(z + n + k, xr * yi + xi * yr);
    }
}

void fmt_pointwise_add(const double* x, const double* y, double* z, int n)
{
    for (int k = 0; k < n; k += kLanes) {
        const vd xr = load(x + k), xi = load(x + n + k), yr = load(y + k), yi = load(y + n + k);
        store(z + k, load(z + k) + (xr * yr - xi * yi));
        store(z + n + k, load(z + n + k) + (xr * yi + xi * yr));
    }
}

// Rounds x half up: the even rounding of the vector, moved up where x lay
// exactly halfway; values too large for that trick take floor(x + 0.5).
static vd round_half_up(vd x)
{
    const vd big = broadcast(2251799813685248.0);   // 2^51
    if (simd::any(simd::vabs(x) >= big)) {
        vd r;
        for (int i = 0; i < kLanes; ++i) r[i] = std::floor(x[i] + 0.5);
        return r;
    }
    const vd r = simd::round_even(x);
    return x - r == 0.5 ? r + 1.0 : r;
}

double fmt_inverse(double* spectrum, double* out, int n)
{
    fill_tables(n);
    double* re = spectrum;
    double* im = spectrum + n;
    if (n <= kBlock) {
        dit_passes(re, im, n, n / 4);
    } else {
        for (int k = 0; k < 4; ++k) dit_block(re + k * (n / 4), im + k * (n / 4), n / 4);
    }

    // Last pass: the inverse butterflies of the full length, the conjugate
    // weights and the 1/n, then rounding. Position k holds c'_k + i c'_(k+n)
    // of the product of the word vectors read as polynomials in position
    // order; out[m] takes c'_(m-1), and c'_(2n-1) must come out zero.
    const int q = n / 4;
    const double* tw = twiddles_of(n);
    const double* w = weights_of(n);
    const vd scale = broadcast(1.0 / n);
    vd err = broadcast(0.0);
    out[0] = 0;
    for (int j = 0; j < q; j += kLanes, tw += 6 * kLanes, w += 2 * kLanes) {
        vd ar[4], ai[4];
        butterfly4_inverse(re, im, j, q, tw, ar, ai);
        const vd cj = load(w) * scale, sj = load(w + kLanes) * scale;
        for (int t = 0; t < 4; ++t) {
            const int k = j + t * q;
            const double tr = quarter_turn[0][t], ti = quarter_turn[1][t];
            const vd c = cj * tr - sj * ti, s = cj * ti + sj * tr;
            const vd xr = ar[t] * c + ai[t] * s;
            const vd xi = ai[t] * c - ar[t] * s;
            const vd rr = round_half_up(xr), ri = round_half_up(xi);
            err = simd::vmax(err, simd::vmax(simd::vabs(rr - xr), simd::vabs(ri - xi)));
            store(out + 1 + k, rr);
            if (k + kLanes < n) {
                store(out + n + 1 + k, ri);
            } else {
                for (int i = 0; i < kLanes - 1; ++i) out[n + 1 + k + i] = ri[i];
                // c'_(2n-1) has no word: its distance from zero counts as error.
                err = simd::vmax(err, broadcast(std::fabs(xi[kLanes - 1])));
            }
        }
    }
    ln_normalize(out, 2 * n);
    return simd::hmax(err);
}

// Each group of eight output words is summed in a register, a[i] times the
// eight words of b that meet it, b read from a zero-padded copy so that the
// sums at both ends need no special case. All sums are exact integers.
void fmt_schoolbook(const double* a, const double* b, const double* c, const double* d, double* out, int n)
{
    constexpr int L = kLanes;
    if (2 * n < L) {
        for (int m = 0; m < 2 * n; ++m) out[m] = 0;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                out[i + j + 1] += a[i] * b[j];
                if (c != nullptr) out[i + j + 1] += c[i] * d[j];
            }
        }
        ln_normalize(out, 2 * n);
        return;
    }
    double padded_b[3 * kFmtSchoolbookMax + L] = {}, padded_d[3 * kFmtSchoolbookMax + L] = {};
    words_copy(b, padded_b + n, n);
    if (c != nullptr) words_copy(d, padded_d + n, n);
    for (int m0 = 0; m0 < 2 * n; m0 += L) {
        // out[m] = sum of a[i] b[m - 1 - i]; lanes m0..m0+L-1.
        const int lo = m0 - n > 0 ? m0 - n : 0, hi = m0 + L - 1 < n ? m0 + L - 1 : n;
        vd acc = broadcast(0.0);
        for (int i = lo; i < hi; ++i) acc += broadcast(a[i]) * load(padded_b + n + m0 - 1 - i);
        if (c != nullptr) {
            for (int i = lo; i < hi; ++i) acc += broadcast(c[i]) * load(padded_d + n + m0 - 1 - i);
        }
        store(out + m0, acc);
    }
    ln_normalize(out, 2 * n);
}

// The exact route for a product that failed its check or came too close to
// a rounding mistake: the words of b (and d) are split into halves of about
// the square root of the radix, and each half's product is formed on its own;
// their coefficients are some 2^10 times smaller than the whole product's,
// which leaves the rounding far from any half. The partial products are
// carried and then combined exactly: a b = S (a b_hi) + a b_lo.
static double redo_product(const double* a, const double* b, const double* c, const double* d, double* out,
                           int n, double* work)
{
    if (n <= kFmtSchoolbookMax) {
        fmt_schoolbook(a, b, c, d, out, n);
        return 0;
    }
    const double S = std::ldexp(1.0, (ilog2(static_cast<int>(g_radix)) + 2) / 2);
    double* sa = work;
    double* sb = work + 2 * n;
    double* part_product = work + 4 * n;
    double err = 0;
    bool first = true;
    for (int pair = 0; pair < 2; ++pair) {
        const double* x = pair == 0 ? a : c;
        const double* y = pair == 0 ? b : d;
        if (x == nullptr) break;
        forward(x, sa, n, 0, 1);
        for (int part = 1; part <= 2; ++part) {
            forward(y, sb, n, part, S);
            fmt_pointwise(sa, sb, sb, n);
            err = dmax2(err, fmt_inverse(sb, part_product, n));
            if (part == 1) words_scale(part_product, S, 2 * n);
            if (first) {
                words_copy(part_product, out, 2 * n);
                first = false;
            } else {
                words_addsub(out, part_product, out, 2 * n, +1);
            }
        }
    }
    return err;
}

double fmt_expected_residue(const double* a, const double* b, const double* c, const double* d, int n)
{
    const double ra = check_residue(a, n);
    double r = check_mulmod(ra, b == a ? ra : check_residue(b, n));
    if (c != nullptr) r = check_addmod(r, check_mulmod(check_residue(c, n), check_residue(d, n)));
    return r;
}

double fmt_check(double* out, int n, const double* a, const double* b, const double* c, const double* d,
                 double expected, double err, double* work, bool* redone)
{
#ifdef DRMPI_FAULT_INJECTION
    if (g_fault_hook != nullptr) g_fault_hook(out, 2 * n);
#endif
#ifdef DRMPI_UNCHECKED
    (void)a, (void)b, (void)c, (void)d, (void)expected, (void)work, (void)redone;
    return err;
#endif
    ++g_check_counts.checked;
    if (redone != nullptr) *redone = false;
    if (err < kFmtRedoError && check_residue(out, 2 * n) == expected) return err;

    ++g_check_counts.redone;
    if (redone != nullptr) *redone = true;
    err = redo_product(a, b, c, d, out, n, work);
#ifdef DRMPI_FAULT_INJECTION
    if (g_fault_hook != nullptr) g_fault_hook(out, 2 * n);
#endif
    if (check_residue(out, 2 * n) != expected) g_check_failed = true;
    return err;
}

double fmt_product(double* spectrum, double* out, int n, const double* a, const double* b, const double* c,
                   const double* d, double expected, double* work)
{
    const double err = fmt_inverse(spectrum, out, n);
    return fmt_check(out, n, a, b, c, d, expected, err, work, nullptr);
}

double fmt_convolve(const double* a, const double* b, double* out, int n, double* work)
{
    if (n <= kFmtSchoolbookMax) {
        fmt_schoolbook(a, b, nullptr, nullptr, out, n);
        return fmt_check(out, n, a, b, nullptr, nullptr, fmt_expected_residue(a, b, nullptr, nullptr, n), 0, work,
                         nullptr);
    }
    double* sa = work;
    double* sb = work + 2 * n;
    fmt_forward(a, sa, n);
    if (b == a) {
        fmt_pointwise(sa, sa, sa, n);
    } else {
        fmt_forward(b, sb, n);
        fmt_pointwise(sa, sb, sa, n);
    }
    const double expected = fmt_expected_residue(a, b, nullptr, nullptr, n);
    return fmt_product(sa, out, n, a, b, nullptr, nullptr, expected, work);
}

double ln_mul_spectrum(const LongNum* p, const LongNum* q, double* q_spec, LongNum* out, int n, double* work)
{
    if (p == q) {
        fmt_pointwise(q_spec, q_spec, work, n);
    } else {
        fmt_forward(p + 1, work, n);
        fmt_pointwise(work, q_spec, work, n);
    }
    out[0] = p[0] + q[0];
    const double expected = fmt_expected_residue(p + 1, q + 1, nullptr, nullptr, n);
    bool redone = false;
    double err = fmt_inverse(work, out + 1, n);
    err = fmt_check(out + 1, n, p + 1, q + 1, nullptr, nullptr, expected, err, work, &redone);
    if (redone) fmt_forward(q + 1, q_spec, n);   // the exact route used the area the spectrum may lie in
    ln_strip(out, 2 * n);
    return err;
}

double ln_mul(const LongNum* p, const LongNum* q, LongNum* out, int n, double* work)
{
    out[0] = p[0] + q[0];
    const double err = fmt_convolve(p + 1, q + 1, out + 1, n, work);
    ln_strip(out, 2 * n);
    return err;
}
