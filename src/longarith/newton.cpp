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
// Both products of an iteration have the iterate y as one factor: from the
// transform lengths on, y is transformed once and its spectrum (kept in the
// upper part of work) serves both.

double ln_reciprocal(const LongNum* x, LongNum* y, int n, LongNum* t, double* work)
{
    const double R = g_radix;
    LongNum* t2 = t + 2 * n + 1;

    start_value(R / (x[2] / R + x[1]), 1 - x[0], y, n);

    double err = 0;
    const int iterations = ilog2(n) + 1;
    for (int it = 0, d = 2; it < iterations; ++it) {
        const int e = imin2(n, 2 * d);
        double r1, r2;
        if (d <= kFmtSchoolbookMax) {
            r1 = ln_mul(x, y, t, d, work);
            ln_int_addsub(1, t, t2, 2 * d, -1);
            r2 = ln_mul(y, t2, t, d, work);
        } else {
            double* y_spec = work + 2 * d;
            fmt_forward(y + 1, y_spec, d);
            r1 = ln_mul_spectrum(x, y, y_spec, t, d, work);
            ln_int_addsub(1, t, t2, 2 * d, -1);
            r2 = ln_mul_spectrum(t2, y, y_spec, t, d, work);
        }
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

double ln_sqrt_int(int m, LongNum* y, int n, int flag, LongNum* t, double* work)
{
    const double R = g_radix;
    LongNum* t2 = t + 2 * n + 1;

    start_value(R / std::sqrt(static_cast<double>(m)), 0, y, n);

    double err = 0;
    const int iterations = ilog2(n) + 1;
    for (int it = 0, d = 2; it < iterations; ++it) {
        const int e = imin2(n, 2 * d);
        double r1, r2;
        if (d <= kFmtSchoolbookMax) {
            r1 = ln_mul(y, y, t, d, work);
            ln_mul_int(t, m, t2, 2 * d);
            ln_int_addsub(1, t2, t, 2 * d, -1);
            r2 = ln_mul(y, t, t2, d, work);
        } else {
            double* y_spec = work + 2 * d;
            fmt_forward(y + 1, y_spec, d);
            r1 = ln_mul_spectrum(y, y, y_spec, t, d, work);
            ln_mul_int(t, m, t2, 2 * d);
            ln_int_addsub(1, t2, t, 2 * d, -1);
            r2 = ln_mul_spectrum(t, y, y_spec, t2, d, work);
        }
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
