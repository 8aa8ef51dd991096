// The three Ramanujan-type series, their closing constants, and the leaves of a
// DRM block. Sum S = sum_k s_k (B k + A) a_k with a_0 = 1, a_k = a_(k-1) p(k)/q(k),
// and Pi = c0 c1 sqrt(c2) / (c3 S).
// A series is one row of its defining numbers (p, q, B, A, the sign rule) in
// kSeriesFormulas and one of c0..c3 in kClosingConstants; the convergence, c4
// and c5 are computed from the row. (The dialogue's prompt names the IDs.)
#pragma once

struct LinearFactor {
    int m;   // the polynomial m x + c
    int c;
};

constexpr int kNumFactorCount = 3;   // factors of p
constexpr int kDenFactorCount = 6;   // factors of q

struct SeriesFormula {
    LinearFactor num_factors[kNumFactorCount];   // p(x) = product of these
    LinearFactor den_factors[kDenFactorCount];   // q(x) = product of these
    double slope;                  // B
    double intercept;              // A
    bool alternating;              // s_k = (-1)^k when set, else +1
    double convergence;            // lim q(k)/p(k): how fast the terms shrink
};

struct ClosingConstants {
    int num_factor;    // c0
    int sqrt_mul;      // c1
    int sqrt_arg;      // c2; 1 means no square root is formed
    int den_factor;    // c3
    int const_term;    // c4 = A, the term k = 0
    int tail_factor;   // c5 = p(1)
};

// The degree in x of the product of the factors.
constexpr int drm_degree(const LinearFactor* factors, int count)
{
    int degree = 0;
    for (int i = 0; i < count; ++i) degree += factors[i].m != 0;
    return degree;
}

// The leading coefficient of the product of the factors: m of each factor in
// x, c of each constant one.
constexpr double drm_leading_coefficient(const LinearFactor* factors, int count)
{
    double lead = 1;
    for (int i = 0; i < count; ++i) lead *= factors[i].m != 0 ? factors[i].m : factors[i].c;
    return lead;
}

// The product of the factors at x = 1.
constexpr int drm_value_at_one(const LinearFactor* factors, int count)
{
    int value = 1;
    for (int i = 0; i < count; ++i) value *= factors[i].m + factors[i].c;
    return value;
}

// A series from its defining numbers p, q, B, A and the sign rule; the
// convergence is derived (p and q of one degree, so the limit is the ratio of
// their leading coefficients).
constexpr SeriesFormula drm_series_row(const LinearFactor (&p)[kNumFactorCount],
                                       const LinearFactor (&q)[kDenFactorCount], double slope,
                                       double intercept, bool alternating)
{
    SeriesFormula f{};
    for (int i = 0; i < kNumFactorCount; ++i) f.num_factors[i] = p[i];
    for (int i = 0; i < kDenFactorCount; ++i) f.den_factors[i] = q[i];
    f.slope = slope;
    f.intercept = intercept;
    f.alternating = alternating;
    f.convergence = drm_leading_coefficient(q, kDenFactorCount) / drm_leading_coefficient(p, kNumFactorCount);
    return f;
}

// Pi = c0 c1 sqrt(c2) / (c3 S) for the series f: c4 and c5 are derived from it.
constexpr ClosingConstants drm_closing_row(const SeriesFormula& f, int c0, int c1, int c2, int c3)
{
    return {c0, c1, c2, c3, static_cast<int>(f.intercept), drm_value_at_one(f.num_factors, kNumFactorCount)};
}

constexpr int kFormulaCount = 3;
constexpr int kLeafWords = 8;

// Indexed by formula_index = ID - 1.
inline constexpr SeriesFormula kSeriesFormulas[kFormulaCount] = {
    // Chudnovsky
    drm_series_row({{2, -1}, {6, -5}, {6, -1}},
                   {{3, 0}, {3, 0}, {1, 0}, {0, 106720}, {0, 106720}, {0, 106720}}, 545140134, 13591409, true),
    // Fast-Ramanujan
    drm_series_row({{2, -1}, {4, -3}, {4, -1}}, {{2, 0}, {1, 0}, {1, 0}, {0, 39204}, {0, 198}, {0, 198}}, 26390,
                   1103, false),
    // Free-Sqrt
    drm_series_row({{2, -1}, {4, -3}, {4, -1}}, {{2, 0}, {1, 0}, {1, 0}, {0, 3528}, {0, 3528}, {0, 1}}, 21460,
                   1123, true),
};

inline constexpr ClosingConstants kClosingConstants[kFormulaCount] = {
    drm_closing_row(kSeriesFormulas[0], 128, 10005, 10005, 3),
    drm_closing_row(kSeriesFormulas[1], 1, 9801, 2, 4),
    drm_closing_row(kSeriesFormulas[2], 1, 3528, 1, 1),
};

// A row's terms shrink geometrically only if p and q have one degree and q
// leads p.
static_assert([] {
    for (const SeriesFormula& f : kSeriesFormulas) {
        if (drm_degree(f.num_factors, kNumFactorCount) != drm_degree(f.den_factors, kDenFactorCount)) return false;
        if (f.convergence <= 1) return false;
    }
    return true;
}());

// Index of the next term whose leaf is generated; each leaf uses it and adds 1.
extern double drm_k;

// out (len words) = product of (m x + c) over the count factors, exact, normalized.
void drm_leaf_poly(double* out, double x, const LinearFactor* factors, int len, int count);

// Writes the leaves of the given number of terms drm_k, drm_k + 1, ... into
// words 1..8 terms of blk_p (p(k+1)), blk_q (q(k)) and blk_t (s_k (B k + A)),
// eight words each, with their residues in run_residue, and advances drm_k
// past them.
void drm_leaves(int formula_index, int terms);
