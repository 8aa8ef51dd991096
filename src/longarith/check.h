// Product checks: a product is verified by comparing its residue modulo a
// prime with the product of its operands' residues. The residue of a word
// vector v of n words is the integer sum v[i] R^(n-1-i) reduced modulo
// kCheckPrime, as a double in [0, kCheckPrime). A wrong product passes only
// when its error is a multiple of the prime.
#pragma once

constexpr double kCheckPrime = 1125899906842597.0;   // 2^50 - 27

// Residue of the n-word vector v in the radix g_radix; exact for whole words
// below 2^40 in magnitude, as those of every normalized vector are.
double check_residue(const double* v, int n);

// a * b and a + b modulo kCheckPrime, for a, b in [0, kCheckPrime).
double check_mulmod(double a, double b);
double check_addmod(double a, double b);

// How many products (and blocks, whose exact schoolbook products are verified
// together) were verified, and how many of them had to be formed again, since
// the program started.
struct CheckCounts {
    long checked;
    long redone;
};
extern CheckCounts g_check_counts;

// Set when a product stayed wrong after it was formed again: the run's result
// cannot be trusted, and the driver stops it.
extern bool g_check_failed;

// Builds with DRMPI_UNCHECKED (the benchmark's, to measure what the checks
// cost) skip the checks; the program never is.

#ifdef DRMPI_FAULT_INJECTION
// Test builds only: called with every product right after it is formed and
// before it is checked, so that a test can corrupt it.
extern void (*g_fault_hook)(double* product, int len);
#endif
