#include "longarith/newton.h"

#include <cassert>
#include <cmath>

#include "longarith/fmt.h"
#include "longarith/linear.h"

// Each operation computes its result with about half the words first, then
// takes one Newton step that doubles them; only the step at full length works
// at full length, and each product of a step is cut to the words that count.
// The recursion ends at three words from a long double.

// The words a step needs to start from to deliver n words. A step squares
// the relative error; n words carry a relative precision of R^-(n-1) (the
// top word may be 1), and a word more absorbs what the cut products lose.
static int half_words(int n) { return (n + 1) / 2 + 1; }

// y = v / R with the given exponent, cut to n words (at most three, the rest
// zero), normalized and stripped: v to the precision of a long double,
// which three words need.
static void start_value(long double v, double exponent, LongNum* y, int n)
{
    y[0] = exponent;
    for (int j = 1; j <= n; ++j) {
        y[j] = j <= 3 ? static_cast<double>(static_cast<long long>(v)) : 0;
        v = (v - y[j]) * g_radix;
    }
    ln_normalize(y + 1, n);
    ln_strip(y, n);
}

// y = 1/x with n words, x read with up to nx words:
// the reciprocal with about half the words, then one step
// y = y + y (1 - x y) that doubles them. t: 2n + 4 doubles.
static double reciprocal(const LongNum* x, int nx, LongNum* y, int n, double* t)
{
    if (n <= 3) {
        const long double R = g_radix;
        const long double x2 = nx >= 2 ? x[2] : 0, x3 = nx >= 3 ? x[3] : 0;
        start_value(R / (x[1] + (x2 + x3 / R) / R), 1 - x[0], y, n);
        return 0;
    }
    const int h = half_words(n);
    double err = reciprocal(x, nx, y, h, t);
    words_fill(0, y + h + 1, n - h);
    // x y to a word past n, then 1 - x y, about h words below 1. The
    // correction y (1 - x y) lies about h words below y: its first k words
    // reach a word past y's n.
    const int k = n - h + 2;
    LongNum* xy = t;
    LongNum* e = t + n + 2;
    err = dmax2(err, ln_mul_cut(x, imin2(nx, n), y, h, xy, n + 1));
    ln_int_addsub(1, xy, e, n + 1, -1);
    LongNum* c = t;
    err = dmax2(err, ln_mul_cut(y, h, e, k, c, k));
    words_fill(0, c + k + 1, n - k);
    ln_addsub(y, c, y, n, +1);
    return err;
}

double ln_divide(const LongNum* a, const LongNum* b, LongNum* out, int n, double* t)
{
    assert(n >= 2 && words_apart(out, n + 1L, a, n + 1L) && words_apart(out, n + 1L, b, n + 1L));
    assert(words_apart(t, 4L * n + 8, a, n + 1L) && words_apart(t, 4L * n + 8, b, n + 1L) &&
           words_apart(t, 4L * n + 8, out, n + 1L));
    const int h = n <= 3 ? n : half_words(n);
    LongNum* y = t;                  // 1/b with h words
    double* rest = t + h + 3;
    double err = reciprocal(b, n, y, h, rest);
    // q0 = a y with h words, then q = q0 + y (a - b q0). The remainder is
    // formed with a word more than a has, so that b q0, which may come out a
    // word longer than a, loses nothing of a's precision.
    err = dmax2(err, ln_mul_cut(a, h, y, h, out, h));
    words_fill(0, out + h + 1, n - h);
    LongNum* bq = rest;              // b q0, cut to n + 1 words
    LongNum* r = rest + n + 2;       // a with a zero word more, then a - b q0
    err = dmax2(err, ln_mul_cut(b, n, out, h, bq, n + 1));
    words_copy(a, r, n + 1);
    r[n + 1] = 0;
    // In place, the higher of the two is the one overwritten: r = a - b q0,
    // or b q0 - a, which then is subtracted.
    const bool a_higher = bq[0] <= r[0];
    LongNum* rem = a_higher ? r : bq;
    LongNum* c = a_higher ? bq : r;
    ln_addsub(rem, a_higher ? bq : r, rem, n + 1, -1);
    err = dmax2(err, ln_mul_cut(y, h, rem, n - h + 2, c, n));
    ln_addsub(out, c, out, n, a_higher ? +1 : -1);
    return err;
}

// y = 1/sqrt(m) with n words: about half the words, then one step
// y = y + y (1 - m y^2) / 2. t: 2n + 4 doubles.
static double inv_sqrt(int m, LongNum* y, int n, double* t)
{
    if (n <= 3) {
        start_value(static_cast<long double>(g_radix) / std::sqrt(static_cast<long double>(m)), 0, y, n);
        return 0;
    }
    const int h = half_words(n);
    double err = inv_sqrt(m, y, h, t);
    words_fill(0, y + h + 1, n - h);
    LongNum* s = t;              // y^2, then 1 - m y^2
    LongNum* u = t + n + 2;      // m y^2, then the correction
    err = dmax2(err, ln_mul_cut(y, h, y, h, s, n + 1));
    ln_mul_int(s, m, u, n + 1);
    ln_int_addsub(1, u, s, n + 1, -1);
    // The correction lies about h words below y: its first k words reach a
    // word past y's n, and only those are halved.
    const int k = n - h + 2;
    err = dmax2(err, ln_mul_cut(y, h, s, k, u, k));
    ln_div_int(u, 2, u, k);
    words_fill(0, u + k + 1, n - k);
    ln_addsub(y, u, y, n, +1);
    return err;
}

double ln_reciprocal(const LongNum* x, LongNum* y, int n, double* t)
{
    assert(n >= 2 && words_apart(y, n + 1L, x, n + 1L));
    assert(words_apart(t, 2L * n + 4, x, n + 1L) && words_apart(t, 2L * n + 4, y, n + 1L));
    return reciprocal(x, n, y, n, t);
}

double ln_sqrt_int(int m, LongNum* y, int n, int flag, double* t)
{
    assert(n >= 2 && m >= 2 && words_apart(t, 2L * n + 4, y, n + 1L));
    const double err = inv_sqrt(m, y, n, t);
    if (flag >= 0) {
        // sqrt(m) = m / sqrt(m): the multiple moves a word down.
        ln_mul_int(y, m, t, n);
        words_copy(t, y, n + 1);
    }
    return err;
}
