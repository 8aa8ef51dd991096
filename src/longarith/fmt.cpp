#include "longarith/fmt.h"

#include <cmath>

double ln_mul(const LongNum* p, const LongNum* q, LongNum* out, int n, double* work)
{
    out[0] = p[0] + q[0];
    const double err = fmt_convolve(p + 1, q + 1, out + 1, n, work);
    ln_strip(out, 2 * n);
    return err;
}

double fmt_convolve(const double* a, const double* b, double* out, int n, double* work)
{
    for (int k = 0; k < n; ++k) {
        work[2 * k] = a[k];
        work[2 * k + 1] = 0;
        out[2 * k] = b[k];
        out[2 * k + 1] = 0;
    }
    fft_transform(work, n, 0, work + 2 * n);
    fft_transform(out, n, 0, work + 2 * n);
    for (int k = 0; k < n; ++k) {
        const double wr = work[2 * k], wi = work[2 * k + 1];
        const double br = out[2 * k], bi = out[2 * k + 1];
        work[2 * k] = br * wr - bi * wi;
        work[2 * k + 1] = br * wi + bi * wr;
    }
    fft_transform(work, n, 1, work + 2 * n);

    // Entry k holds c_u + i c_(u+n), u = n-1-k: the imaginary parts are the
    // upper half of the product, the real parts the lower half.
    double err = 0;
    for (int k = 0; k < n; ++k) {
        const double re = work[2 * k], im = work[2 * k + 1];
        const double re_r = std::floor(re + 0.5), im_r = std::floor(im + 0.5);
        err = dmax3(err, std::fabs(re_r - re), std::fabs(im_r - im));
        out[k] = im_r;
        out[n + k] = re_r;
    }
    ln_normalize(out, 2 * n);
    return err;
}

// Multiplies entry k by the angle sign * (n-1-k) * theta.
static void weight(double* x, int n, double sign)
{
    const double theta = std::atan(1.0) * 2 / n;
    for (int k = 0; k < n; ++k) {
        const double a = sign * (n - 1 - k) * theta;
        const double c = std::cos(a), s = std::sin(a);
        const double re = x[2 * k], im = x[2 * k + 1];
        x[2 * k] = re * c - im * s;
        x[2 * k + 1] = im * c + re * s;
    }
}

void fft_transform(double* x, int n, int direction, double* scratch)
{
    if (direction == 1) {
        fft_core(x, n, 1, scratch);
        weight(x, n, -1.0);
    } else {
        weight(x, n, 1.0);
        fft_core(x, n, direction, scratch);
    }
}

void fft_core(double* x, int n, int direction, double* scratch)
{
    const int passes = ilog2(n);
    fft_twiddles(n / 2, direction, scratch);
    int s = n / 2, g = 1;
    for (int i = 0; i < passes; ++i) {
        fft_pass(x, s, g, scratch, scratch + 2 * n);
        g *= 2;
        s /= 2;
    }
    if (direction == 1) {
        for (int k = 0; k < 2 * n; ++k) x[k] /= n;
    }
}

void fft_twiddles(int m, int direction, double* table)
{
    double phi = std::atan(1.0) * 4 / m;
    if (direction == 1) phi = -phi;
    for (int k = 0; k < m; ++k) {
        table[2 * k] = std::cos((m - 1 - k) * phi);
        table[2 * k + 1] = std::sin((m - 1 - k) * phi);
    }
}

void fft_pass(double* x, int s, int g, const double* table, double* buffer)
{
    const int n = 2 * s * g;
    const int half = n / 2;
    for (int r = 0; r < g; ++r) {
        const double wr = table[2 * (s * (r + 1) - 1)], wi = table[2 * (s * (r + 1) - 1) + 1];
        for (int j = 0; j < s; ++j) {
            const int a = 2 * s * r + j;
            const double xr = x[2 * a], xi = x[2 * a + 1];
            const double vr = wr * xr - wi * xi, vi = wr * xi + wi * xr;
            const double ur = x[2 * (a + s)], ui = x[2 * (a + s) + 1];
            const int lo = s * r + j, hi = lo + half;
            buffer[2 * lo] = ur - vr;
            buffer[2 * lo + 1] = ui - vi;
            buffer[2 * hi] = ur + vr;
            buffer[2 * hi + 1] = ui + vi;
        }
    }
    for (int k = 0; k < 2 * n; ++k) x[k] = buffer[k];
}
