/* Peer for the benchmark: Pi by the Chudnovsky series with GMP's mpz,
 * binary splitting, one thread. Usage: gmp_chudnovsky DIGITS [FILE]
 * Writes "3." and DIGITS decimals (truncated) to FILE (default pi_gmp.txt). */
#include <gmp.h>
#include <cstdio>
#include <cstdlib>

/* P, Q, T of the terms a..b-1: Q(a,b) = prod q(k), P(a,b) = prod p(k),
 * T(a,b) = sum of the terms scaled to the common denominator. */
static void split(unsigned long a, unsigned long b, mpz_t P, mpz_t Q, mpz_t T)
{
    if (b - a == 1) {
        if (a == 0) {
            mpz_set_ui(P, 1);
            mpz_set_ui(Q, 1);
        } else {
            mpz_set_ui(P, 6 * a - 5);
            mpz_mul_ui(P, P, 2 * a - 1);
            mpz_mul_ui(P, P, 6 * a - 1);
            mpz_set_ui(Q, a);
            mpz_mul_ui(Q, Q, a);
            mpz_mul_ui(Q, Q, a);
            mpz_mul_ui(Q, Q, 10939058860032000UL); /* 640320^3 / 24 */
        }
        mpz_set_ui(T, 545140134UL);
        mpz_mul_ui(T, T, a);
        mpz_add_ui(T, T, 13591409UL);
        mpz_mul(T, T, P);
        if (a & 1) mpz_neg(T, T);
        return;
    }
    unsigned long m = (a + b) / 2;
    mpz_t P2, Q2, T2;
    mpz_inits(P2, Q2, T2, nullptr);
    split(a, m, P, Q, T);
    split(m, b, P2, Q2, T2);
    mpz_mul(T, T, Q2);   /* T = T1 Q2 + P1 T2 */
    mpz_mul(T2, T2, P);
    mpz_add(T, T, T2);
    mpz_mul(P, P, P2);
    mpz_mul(Q, Q, Q2);
    mpz_clears(P2, Q2, T2, nullptr);
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIGITS [FILE]\n", argv[0]);
        return 2;
    }
    const unsigned long digits = strtoul(argv[1], nullptr, 10);
    const char* name = argc > 2 ? argv[2] : "pi_gmp.txt";
    const unsigned long terms = (unsigned long)(digits / 14.181647462725477) + 2;

    mpz_t P, Q, T, s, pi;
    mpz_inits(P, Q, T, s, pi, nullptr);
    split(0, terms, P, Q, T);

    /* Pi * 10^digits = 426880 sqrt(10005) Q / T, all scaled by 10^digits. */
    mpz_ui_pow_ui(s, 10, 2 * digits);
    mpz_mul_ui(s, s, 10005);
    mpz_sqrt(s, s);
    mpz_mul(s, s, Q);
    mpz_mul_ui(s, s, 426880);
    mpz_tdiv_q(pi, s, T);

    char* text = mpz_get_str(nullptr, 10, pi);
    FILE* f = fopen(name, "w");
    if (!f) return 1;
    fprintf(f, "%c.%s\n", text[0], text + 1);
    if (fclose(f) != 0) return 1;
    mpz_clears(P, Q, T, s, pi, nullptr);
    return 0;
}
