// The three Ramanujan-type series, their closing constants, and the leaves of a
// DRM block. Sum S = sum_k s_k (B k + A) a_k with a_0 = 1, a_k = a_(k-1) p(k)/q(k),
// and Pi = c0 c1 sqrt(c2) / (c3 S).
#pragma once

struct LinearFactor {
    int m;   // the polynomial m x + c
    int c;
};

struct SeriesFormula {
    LinearFactor num_factors[3];   // p(x) = product of these
    LinearFactor den_factors[6];   // q(x) = product of these
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

constexpr int kFormulaCount = 3;
constexpr int kLeafWords = 8;

extern const SeriesFormula kSeriesFormulas[kFormulaCount];
extern const ClosingConstants kClosingConstants[kFormulaCount];

// Index of the next term whose leaf is generated; each leaf uses it and adds 1.
extern double drm_k;

// out (len words) = product of (m x + c) over the count factors, exact, normalized.
void drm_leaf_poly(double* out, double x, const LinearFactor* factors, int len, int count);

// Writes the leaves of the given number of terms drm_k, drm_k + 1, ... into
// words 1..8 terms of blk_p (p(k+1)), blk_q (q(k)) and blk_t (s_k (B k + A)),
// eight words each, with their residues in run_residue, and advances drm_k
// past them.
void drm_leaves(int formula_index, int terms);
