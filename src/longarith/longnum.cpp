#include "longarith/longnum.h"

#include <cmath>
#include <cstdint>

double g_radix = 100000.0;
int g_carry_mode = -1;

void ln_normalize(double* v, int n)
{
    if (n <= 1) return;
    const double R = g_radix;
    const int64_t r = static_cast<int64_t>(R);
    // Carry pass. Words are whole numbers below 2^53, so the integer division
    // and the remainder are exact; the carry is added whole to the next word.
    for (int i = n - 1; i >= 1; --i) {
        const int64_t x = static_cast<int64_t>(v[i]);
        const int64_t c = x / r;
        v[i] = static_cast<double>(x - c * r);
        v[i - 1] += static_cast<double>(c);
    }
    // Fix-up pass: every word now lies in (-R, R) but the one that took a
    // carry of 1 from its right neighbour, which may reach R; one adjustment
    // each is enough, and the 1 handed left is seen when that word comes next.
    if (g_carry_mode < 0) {
        const double h = R / 2;
        for (int i = n - 1; i >= 1; --i) {
            if (v[i] > h) {
                v[i] -= R;
                v[i - 1] += 1;
            } else if (v[i] < -h) {
                v[i] += R;
                v[i - 1] -= 1;
            }
        }
    } else {
        for (int i = n - 1; i >= 1; --i) {
            if (v[i] < 0) {
                v[i] += R;
                v[i - 1] -= 1;
            }
        }
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
