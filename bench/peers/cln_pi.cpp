/* Peer for the benchmark: Pi by CLN's pi() for a float format of the wanted
 * digits, printed in decimal, one thread. Usage: cln_pi DIGITS [FILE]
 * Writes Pi with about DIGITS decimals to FILE (default pi_cln.txt). */
#include <cln/float.h>
#include <cln/float_io.h>
#include <cln/real.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIGITS [FILE]\n", argv[0]);
        return 2;
    }
    const long digits = strtol(argv[1], nullptr, 10);
    const char* name = argc > 2 ? argv[2] : "pi_cln.txt";
    const cln::cl_F pi = cln::pi(cln::float_format(digits + 2));
    std::ofstream out(name);
    cln::fprint(out, pi);
    out << '\n';
    return out.good() ? 0 : 1;
}
