/* Peer for the benchmark: Pi by Arb's arb_const_pi, converted with
 * arb_get_str, one thread. Usage: arb_pi DIGITS [FILE]
 * Writes "3." and DIGITS decimals (truncated) to FILE (default pi_arb.txt).
 *
 * arb_get_str rounds its last digit to nearest; it is asked for ten digits
 * more than written, so that the digits written are the truncated ones that
 * the other programs write (unless Pi had ten nines or zeros right there). */
#include <arb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIGITS [FILE]\n", argv[0]);
        return 2;
    }
    const long digits = strtol(argv[1], nullptr, 10);
    const char* name = argc > 2 ? argv[2] : "pi_arb.txt";
    const slong prec = static_cast<slong>(digits * 3.3219280948873623) + 64;
    arb_t pi;
    arb_init(pi);
    arb_const_pi(pi, prec);
    char* text = arb_get_str(pi, digits + 11, ARB_STR_NO_RADIUS);
    /* "3." and at least DIGITS decimals, or Arb could not give them. */
    if (strncmp(text, "3.", 2) != 0 || strlen(text) < static_cast<size_t>(digits) + 2) {
        fprintf(stderr, "%s: arb_get_str gave %.40s...\n", argv[0], text);
        return 1;
    }
    FILE* f = fopen(name, "w");
    if (!f) return 1;
    fwrite(text, 1, static_cast<size_t>(digits) + 2, f);
    fputc('\n', f);
    if (fclose(f) != 0) return 1;
    flint_free(text);
    arb_clear(pi);
    flint_cleanup();
    return 0;
}
