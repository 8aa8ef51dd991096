// Times one FMT product of two random balanced word vectors at the lengths the
// program uses, and shows the largest rounding error at the two longest ones.
// Prints a table; run it on a quiet machine for figures worth comparing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "longarith/fmt.h"
#include "longarith/longnum.h"

namespace {

std::vector<double> random_balanced(std::mt19937_64& rng, int len, double radix)
{
    const long h = static_cast<long>(radix) / 2;
    std::uniform_int_distribution<long> dist(-h, h);
    std::vector<double> v(len);
    for (double& w : v) w = static_cast<double>(dist(rng));
    return v;
}

struct Timing {
    double median_ms;
    double min_ms;
    int runs;
};

Timing time_product(int n, double radix, int runs, std::mt19937_64& rng)
{
    g_radix = radix;
    const std::vector<double> a = random_balanced(rng, n, radix);
    const std::vector<double> b = random_balanced(rng, n, radix);
    std::vector<double> out(2 * n);
    fmt_convolve(a.data(), b.data(), out.data(), n);   // warm the caches and pages
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        fmt_convolve(a.data(), b.data(), out.data(), n);
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), runs};
}

double worst_error(int n, double radix, int products, std::mt19937_64& rng)
{
    g_radix = radix;
    std::vector<double> out(2 * n);
    double worst = 0;
    for (int i = 0; i < products; ++i) {
        const std::vector<double> a = random_balanced(rng, n, radix);
        const std::vector<double> b = random_balanced(rng, n, radix);
        worst = std::max(worst, fmt_convolve(a.data(), b.data(), out.data(), n));
    }
    return worst;
}

}  // namespace

int main()
{
    g_carry_mode = -1;
    std::mt19937_64 rng(20240611);
    const int logs[] = {10, 14, 17, 18};
    const int runs[] = {201, 41, 9, 7};
    const double radices[] = {100000.0, 456976.0};

    std::printf("One fmt_convolve of two random balanced n-word vectors (median and fastest of the runs)\n\n");
    std::printf("%8s  %8s  %5s  %12s  %12s\n", "n", "R", "runs", "median ms", "fastest ms");
    for (double radix : radices) {
        for (int i = 0; i < 4; ++i) {
            const int n = 1 << logs[i];
            const Timing t = time_product(n, radix, runs[i], rng);
            std::printf("%8d  %8.0f  %5d  %12.3f  %12.3f\n", n, radix, t.runs, t.median_ms, t.min_ms);
        }
    }

    const int products = 5;
    std::printf("\nLargest rounding error over %d random products, R = 456976\n\n", products);
    std::printf("%8s  %14s\n", "n", "rounding error");
    for (int lg : {17, 18}) {
        const int n = 1 << lg;
        std::printf("%8d  %14.6g\n", n, worst_error(n, 456976.0, products, rng));
    }
    return 0;
}
