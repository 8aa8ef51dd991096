// Product checks: a product is verified by comparing its residue modulo a
// prime with the product of its operands' residues. The residue of a word
// vector v of n words is the integer sum v[i] R^(n-1-i) reduced modulo
// kCheckPrime, as a double in [0, kCheckPrime). A wrong product passes only
// when its error is a multiple of the prime.
//
// The policy: a product is kept when its residue is right and its rounding
// error below kCheckRedoError; otherwise it is formed again by an exact route
// (its maker knows how) and checked again, and if it is still wrong it reports
// the rounding error kCheckFailed. That value is larger than any other, so the
// maximum that every computation takes of its products' errors carries the
// failure up to whoever can do more: a block computes itself once more, the
// driver stops the run.
#pragma once

#include <limits>

constexpr double kCheckPrime = 1125899906842597.0;   // 2^50 - 27
constexpr double kCheckRedoError = 0.4;              // a rounding error from here on forms the product again
constexpr double kCheckFailed = std::numeric_limits<double>::infinity();

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

// Whether the product[0..count-1], just formed with rounding error err, is
// kept: its residue is expected and err below kCheckRedoError. Counts it as
// checked, and as formed again when it is not kept.
bool check_keep(double* product, int count, double expected, double err);

// The rounding error to report for the product[0..count-1], formed again with
// rounding error err: err when its residue is expected, kCheckFailed if not.
double check_again(double* product, int count, double expected, double err);

// Marks a product formed exactly whose check its caller makes later, on what
// it builds from it (test builds may corrupt it here, as any product).
void check_formed(double* product, int count);

// Set by the driver when a result came back failed after every retry: the
// run's result cannot be trusted, and the run stops.
extern bool g_check_failed;

// Builds with DRMPI_UNCHECKED (the benchmark's, to measure what the checks
// cost) skip the checks; the program never is.

#ifdef DRMPI_FAULT_INJECTION
// Test builds only: called with every product right after it is formed and
// before it is checked, so that a test can corrupt it.
extern void (*g_fault_hook)(double* product, int len);
#endif
