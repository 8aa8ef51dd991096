#include "longarith/linear.h"

#include <cassert>
#include <cmath>

void words_addsub(const double* x, const double* y, double* z, int n, int sign)
{
    assert((z == x || words_apart(z, n, x, n)) && (z == y || words_apart(z, n, y, n)));
    if (sign < 0) {
        for (int i = 0; i < n; ++i) z[i] = x[i] - y[i];
    } else {
        for (int i = 0; i < n; ++i) z[i] = x[i] + y[i];
    }
    ln_normalize(z, n);
}

void ln_addsub(const LongNum* x, const LongNum* y, LongNum* z, int n, int sign)
{
    assert(n >= 1 && words_apart(z, n + 1L, y, n + 1L));
    assert(z == x ? y[0] <= x[0] : words_apart(z, n + 1L, x, n + 1L));
    if (y[0] <= x[0]) {
        const int d = static_cast<int>(x[0] - y[0]);
        const int lead = imin2(d, n);
        // z may be x: the copy of x's leading words is then a copy in place,
        // and words_addsub reads each position before it writes it.
        words_copy(x, z, lead + 1);
        if (d < n) words_addsub(x + d + 1, y + 1, z + d + 1, n - d, sign);
    } else {
        const int d = static_cast<int>(y[0] - x[0]);
        const int lead = imin2(d, n);
        z[0] = y[0];
        if (sign >= 0) {
            words_copy(y + 1, z + 1, lead);
        } else {
            for (int j = 1; j <= lead; ++j) z[j] = -y[j];
        }
        if (d < n) words_addsub(x + 1, y + d + 1, z + d + 1, n - d, sign);
    }
    ln_normalize(z + 1, n);
    ln_strip(z, n);
}

void ln_int_addsub(int a, const LongNum* y, LongNum* z, int n, int sign)
{
    assert(n >= 1 && words_apart(z, n + 1L, y, n + 1L));
    const double s = sign < 0 ? -1.0 : 1.0;
    if (y[0] >= 1) {
        z[0] = y[0];
        for (int j = 1; j <= n; ++j) z[j] = s * y[j];
        const int u = static_cast<int>(y[0]);
        z[u] += a;
    } else {
        z[0] = 1;
        z[1] = a;
        const int k = static_cast<int>(1 - y[0]);
        for (int j = 2; j <= imin2(k, n); ++j) z[j] = 0;
        for (int j = k + 1; j <= n; ++j) z[j] = s * y[j - k];
    }
    ln_normalize(z + 1, n);
    ln_strip(z, n);
}

void ln_mul_int(const LongNum* x, int m, LongNum* z, int n)
{
    assert(n >= 1 && words_apart(z, n + 1L, x, n + 1L));
    const double f = m;
    const double R = g_radix;
    if (std::fabs(x[1] * f) >= R) {
        z[0] = x[0] + 1;
        z[1] = 0;
        for (int j = 1; j <= n - 1; ++j) z[j + 1] = x[j] * f;
        z[n] += std::trunc(x[n] * f / R);
    } else {
        z[0] = x[0];
        for (int j = 1; j <= n; ++j) z[j] = x[j] * f;
    }
    ln_normalize(z + 1, n);
    ln_strip(z, n);
}

void ln_div_int(const LongNum* x, int m, LongNum* z, int n)
{
    assert(n >= 1 && m != 0 && (z == x || words_apart(z, n + 1L, x, n + 1L)));
    const double f = m;
    const double R = g_radix;
    if (std::fabs(f) <= std::fabs(x[1])) {
        z[0] = x[0];
        double r = 0;
        for (int j = 1; j <= n; ++j) {
            const double t = r * R + x[j];
            const double q = std::trunc(t / f);
            z[j] = q;
            r = t - q * f;
        }
    } else {
        z[0] = x[0] - 1;
        double r = x[1];
        for (int j = 1; j <= n - 1; ++j) {
            const double t = r * R + x[j + 1];
            const double q = std::trunc(t / f);
            z[j] = q;
            r = t - q * f;
        }
        z[n] = std::trunc(r * R / f);
    }
    ln_normalize(z + 1, n);
    ln_strip(z, n);
}

void words_scale(double* v, double f, int n)
{
    for (int i = 0; i < n; ++i) v[i] *= f;
    ln_normalize(v, n);
}
