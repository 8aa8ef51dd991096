#include "longarith/fmt.h"

#include <cmath>

#include "longarith/pages.h"

// Weights and twiddles of every size come from two tables of the largest size
// asked for so far. For power-of-two sizes the angle of entry k of a smaller
// table equals, bit for bit, the angle of one entry of the larger table (the
// angle steps differ by exact powers of two), so the values are those that
// each transform would compute for itself. The inverse uses the conjugates.
constexpr int kMaxSize = 1 << 18;
alignas(kHugePageBytes) static double weight_table[2 * kMaxSize];    // (cos, sin)((N-1-k) pi / (2N)), k < N
alignas(kHugePageBytes) static double twiddle_table[kMaxSize];       // (cos, sin)((M-1-k) 2 pi / (2M)), k < M = N/2
static int table_size = 0;                   // N

static void fft_tables(int n)
{
    if (n <= table_size) return;
    if (table_size == 0) {
        pages_advise_huge(weight_table, sizeof weight_table);
        pages_advise_huge(twiddle_table, sizeof twiddle_table);
    }
    const double theta = std::atan(1.0) * 2 / n;
    for (int k = 0; k < n; ++k) {
        const double a = static_cast<double>(n - 1 - k) * theta;
        weight_table[2 * k] = std::cos(a);
        weight_table[2 * k + 1] = std::sin(a);
    }
    const int m = n / 2;
    const double phi = std::atan(1.0) * 4 / m;
    for (int k = 0; k < m; ++k) {
        const double a = (m - 1 - k) * phi;
        twiddle_table[2 * k] = std::cos(a);
        twiddle_table[2 * k + 1] = std::sin(a);
    }
    table_size = n;
}

double ln_mul(const LongNum* p, const LongNum* q, LongNum* out, int n, double* work)
{
    out[0] = p[0] + q[0];
    const double err = fmt_convolve(p + 1, q + 1, out + 1, n, work);
    ln_strip(out, 2 * n);
    return err;
}

double fmt_convolve(const double* a, const double* b, double* out, int n, double* work)
{
    fft_tables(n);
    const bool square = a == b;
    for (int k = 0; k < n; ++k) {
        work[2 * k] = a[k];
        work[2 * k + 1] = 0;
    }
    fft_transform(work, n, 0, work + 2 * n);
    const double* spectrum_b = work;
    if (!square) {
        for (int k = 0; k < n; ++k) {
            out[2 * k] = b[k];
            out[2 * k + 1] = 0;
        }
        fft_transform(out, n, 0, work + 2 * n);
        spectrum_b = out;
    }
    for (int k = 0; k < n; ++k) {
        const double wr = work[2 * k], wi = work[2 * k + 1];
        const double br = spectrum_b[2 * k], bi = spectrum_b[2 * k + 1];
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

// Multiplies entry k by the angle sign * (n-1-k) * pi / (2n).
static void weight(double* x, int n, double sign)
{
    fft_tables(n);
    const int stride = table_size / n;
    const double* w = weight_table + 2 * (stride - 1);
    for (int k = 0; k < n; ++k) {
        const double c = w[2 * stride * k], s = sign * w[2 * stride * k + 1];
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
    fft_twiddles(n / 2, direction, scratch);
    double* buffer = scratch + 2 * n;
    double* src = x;
    double* dst = buffer;
    for (int s = n / 2, g = 1; s >= 1; s /= 2, g *= 2) {
        fft_pass(src, dst, s, g, scratch);
        double* t = src;
        src = dst;
        dst = t;
    }
    if (direction == 1) {
        const double scale = n;
        for (int k = 0; k < 2 * n; ++k) x[k] = src[k] / scale;
    } else if (src != x) {
        words_copy(src, x, 2 * n);
    }
}

void fft_twiddles(int m, int direction, double* table)
{
    fft_tables(2 * m);
    const int stride = table_size / 2 / m;
    const double* t = twiddle_table + 2 * (stride - 1);
    const double sign = direction == 1 ? -1.0 : 1.0;
    for (int k = 0; k < m; ++k) {
        table[2 * k] = t[2 * stride * k];
        table[2 * k + 1] = sign * t[2 * stride * k + 1];
    }
}

void fft_pass(const double* x, double* y, int s, int g, const double* table)
{
    const int half = s * g;
    for (int r = 0; r < g; ++r) {
        const double wr = table[2 * (s * (r + 1) - 1)], wi = table[2 * (s * (r + 1) - 1) + 1];
        for (int j = 0; j < s; ++j) {
            const int a = 2 * s * r + j;
            const double xr = x[2 * a], xi = x[2 * a + 1];
            const double vr = wr * xr - wi * xi, vi = wr * xi + wi * xr;
            const double ur = x[2 * (a + s)], ui = x[2 * (a + s) + 1];
            const int lo = s * r + j, hi = lo + half;
            y[2 * lo] = ur - vr;
            y[2 * lo + 1] = ui - vi;
            y[2 * hi] = ur + vr;
            y[2 * hi + 1] = ui + vi;
        }
    }
}
