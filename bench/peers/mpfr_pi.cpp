/* Peer for the benchmark: Pi by MPFR's mpfr_const_pi, converted with
 * mpfr_get_str, one thread. Usage: mpfr_pi DIGITS [FILE]
 * Writes "3." and DIGITS decimals to FILE (default pi_mpfr.txt). */
#include <gmp.h>
#include <mpfr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIGITS [FILE]\n", argv[0]);
        return 2;
    }
    const long digits = strtol(argv[1], nullptr, 10);
    const char* name = argc > 2 ? argv[2] : "pi_mpfr.txt";
    mpfr_t pi;
    mpfr_init2(pi, static_cast<mpfr_prec_t>(digits * 3.3219280948873623) + 64);
    mpfr_const_pi(pi, MPFR_RNDN);
    mpfr_exp_t exp10;
    char* text = mpfr_get_str(nullptr, &exp10, 10, digits + 1, pi, MPFR_RNDZ);
    FILE* f = fopen(name, "w");
    if (!f) return 1;
    fprintf(f, "%c.%s\n", text[0], text + 1);
    if (fclose(f) != 0) return 1;
    mpfr_free_str(text);
    mpfr_clear(pi);
    return 0;
}
