#include "drm/series.h"

#include "drm/storage.h"
#include "longarith/linear.h"

const SeriesFormula kSeriesFormulas[kFormulaCount] = {
    // Chudnovsky
    {{{2, -1}, {6, -5}, {6, -1}},
     {{3, 0}, {3, 0}, {1, 0}, {0, 106720}, {0, 106720}, {0, 106720}},
     545140134.0, 13591409.0, true, 151931373056000.0},
    // Fast-Ramanujan
    {{{2, -1}, {4, -3}, {4, -1}},
     {{2, 0}, {1, 0}, {1, 0}, {0, 39204}, {0, 198}, {0, 198}},
     26390.0, 1103.0, false, 96059601.0},
    // Free-Sqrt
    {{{2, -1}, {4, -3}, {4, -1}},
     {{2, 0}, {1, 0}, {1, 0}, {0, 3528}, {0, 3528}, {0, 1}},
     21460.0, 1123.0, true, 777924.0},
};

const ClosingConstants kClosingConstants[kFormulaCount] = {
    {128, 10005, 10005, 3, 13591409, 5},
    {1, 9801, 2, 4, 1103, 3},
    {1, 3528, 1, 1, 1123, 3},
};

double drm_k = 1;

void drm_leaf_poly(double* out, double x, const LinearFactor* factors, int len, int count)
{
    words_fill(0, out, len);
    out[len - 1] = 1;
    for (int i = 0; i < count; ++i) words_scale(out, factors[i].m * x + factors[i].c, len);
}

void drm_leaves(int formula_index, int fmt_size)
{
    const SeriesFormula& f = kSeriesFormulas[formula_index];
    const int leaves = fmt_size / 8;
    for (int j = 0, pos = 1; j < leaves; ++j, pos += kLeafWords) {
        const double k = drm_k;
        drm_leaf_poly(blk_p + pos, k + 1, f.num_factors, kLeafWords, 3);
        drm_leaf_poly(blk_q + pos, k, f.den_factors, kLeafWords, 6);

        double* t = blk_t + pos;
        words_fill(0, t, kLeafWords);
        t[kLeafWords - 1] = k;
        ln_normalize(t, kLeafWords);
        words_scale(t, f.slope, kLeafWords);
        t[kLeafWords - 1] += f.intercept;
        ln_normalize(t, kLeafWords);
        const bool odd = static_cast<long long>(k) % 2 != 0;
        words_scale(t, f.alternating && odd ? -1.0 : 1.0, kLeafWords);

        drm_k += 1;
    }
}
