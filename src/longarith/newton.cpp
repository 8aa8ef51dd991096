#include "longarith/newton.h"

#include <cmath>

#include "longarith/fmt.h"
#include "longarith/linear.h"

// Sets y (n words) to the start value v / R with the given exponent: two words,
// the integer part of v and the next R-th, then zeros.
static void start_value(double v, double exponent, LongNum* y, int n)
{
    y[0] = exponent;
    y[1] = static_cast<int>(v);
    y[2] = static_cast<int>((v - y[1]) * g_radix);
    words_fill(0, y + 3, n - 2);
}

// The iterate starts with two correct words and every iteration doubles them:
// ilog2(n) + 1 iterations at d = 2, 4, ..., n, n; the iterate grows to e words.
// Both products of an iteration have the iterate y as one factor, which is
// transformed once for both.

// x * y as a LongNum of 2d words in out, y given as a product operand (its
// words y[1..d]) so that its spectrum serves both products of an iteration.
static double mul_by(const LongNum* x, const LongNum* y, FmtOperand* y_op, LongNum* out, int d)
{
    FmtOperand x_op;
    fmt_operand(&x_op, x + 1, d);
    const double err = fmt_mul(&x_op, y_op, out + 1);
    fmt_release(&x_op);
    out[0] = x[0] + y[0];
    ln_strip(out, 2 * d);
    return err;
}

double ln_reciprocal(const LongNum* x, LongNum* y, int n, LongNum* t, [[maybe_unused]] double* work)
{
    const double R = g_radix;
    LongNum* t2 = t + 2 * n + 1;

    start_value(R / (x[2] / R + x[1]), 1 - x[0], y, n);

    double err = 0;
    const int iterations = ilog2(n) + 1;
    for (int it = 0, d = 2; it < iterations; ++it) {
        const int e = imin2(n, 2 * d);
        FmtOperand y_op;
        fmt_operand(&y_op, y + 1, d);
        const double r1 = mul_by(x, y, &y_op, t, d);
        ln_int_addsub(1, t, t2, 2 * d, -1);
        const double r2 = mul_by(t2, y, &y_op, t, d);
        fmt_release(&y_op);
        err = dmax3(err, r1, r2);
        ln_addsub(y, t, y, e, +1);
        if (d < n) d *= 2;
    }
    return err;
}

double ln_divide(const LongNum* p, const LongNum* q, LongNum* out, int n, LongNum* t, double* work)
{
    const double r1 = ln_reciprocal(q, out, n, t, work);
    const double r2 = ln_mul(p, out, t, n, work);
    words_copy(t, out, n + 1);
    return dmax2(r1, r2);
}

double ln_sqrt_int(int m, LongNum* y, int n, int flag, LongNum* t, [[maybe_unused]] double* work)
{
    const double R = g_radix;
    LongNum* t2 = t + 2 * n + 1;

    start_value(R / std::sqrt(static_cast<double>(m)), 0, y, n);

    double err = 0;
    const int iterations = ilog2(n) + 1;
    for (int it = 0, d = 2; it < iterations; ++it) {
        const int e = imin2(n, 2 * d);
        FmtOperand y_op;
        fmt_operand(&y_op, y + 1, d);
        const double r1 = mul_by(y, y, &y_op, t, d);
        ln_mul_int(t, m, t2, 2 * d);
        ln_int_addsub(1, t2, t, 2 * d, -1);
        const double r2 = mul_by(t, y, &y_op, t2, d);
        fmt_release(&y_op);
        ln_div_int(t2, 2, t, e);
        err = dmax3(err, r1, r2);
        ln_addsub(y, t, y, e, +1);
        if (d < n) d *= 2;
    }
    if (flag >= 0) {
        ln_mul_int(y, m, t, n);
        words_copy(t, y, n + 1);
    }
    return err;
}

// The words a step needs to start from to deliver n words. A step squares
// the relative error; n words carry a relative precision of R^-(n-1) (the
// top word may be 1), and a word more absorbs what the cut products lose.
static int half_words(int n) { return (n + 1) / 2 + 1; }

// y = v / R with the given exponent, three words, the rest of the n words
// zero: v to the precision of a long double, which three words need.
static void start_value3(long double v, double exponent, LongNum* y, int n)
{
    y[0] = exponent;
    for (int j = 1; j <= 3; ++j) {
        y[j] = static_cast<double>(static_cast<long long>(v));
        v = (v - y[j]) * g_radix;
    }
    words_fill(0, y + 4, n - 3);
}

// y = 1/x with n words (y holds n + 2 doubles), x read with up to nx words:
// the reciprocal with about half the words, then one step
// y = y + y (1 - x y) that doubles them. t: 2n + 4 doubles.
static double reciprocal(const LongNum* x, int nx, LongNum* y, int n, double* t)
{
    if (n <= 3) {
        const long double R = g_radix;
        const long double x2 = nx >= 2 ? x[2] : 0, x3 = nx >= 3 ? x[3] : 0;
        start_value3(R / (x[1] + (x2 + x3 / R) / R), 1 - x[0], y, n);
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

double ln_quotient(const LongNum* a, const LongNum* b, LongNum* out, int n, double* t)
{
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
        start_value3(static_cast<long double>(g_radix) / std::sqrt(static_cast<long double>(m)), 0, y, n);
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

double ln_inv_sqrt(int m, LongNum* y, int n, double* t) { return inv_sqrt(m, y, n, t); }
