#include "console/report.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "console/outfile.h"

const char* const kDigitChars[63] = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "a", "b", "c", "d", "e", "f",
    "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r", "s", "t", "u", "v",
    "w", "x", "y", "z", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L",
    "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", " ",
};

static const std::chrono::steady_clock::time_point kProgramStart = std::chrono::steady_clock::now();

long clock_ms()
{
    const auto elapsed = std::chrono::steady_clock::now() - kProgramStart;
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

double clock_seconds()
{
    const auto elapsed = std::chrono::steady_clock::now() - kProgramStart;
    return std::chrono::duration<double>(elapsed).count();
}

// text[0..d-1] = the d base-b digits of word (0 <= word < b^d <= 2^20),
// most significant first. The quotients by b are products with 2^32 / b
// rounded up, exact for every word below 2^26.
static void format_element_digits(int word, int d, int b, int offset, char* text)
{
    const uint64_t inverse = ((uint64_t{1} << 32) + b - 1) / b;
    uint64_t w = static_cast<uint64_t>(word);
    for (int k = d - 1; k >= 0; --k) {
        const uint64_t q = (w * inverse) >> 32;
        text[k] = kDigitChars[w - q * b + offset][0];
        w = q;
    }
}

void print_element_digits(int word, int d, int b, int offset)
{
    char text[20];
    format_element_digits(word, d, b, offset, text);
    fwrite(text, 1, d, g_out_file);
}

// Writes the integer part in the run's base and alphabet, as the fraction is.
static void print_integer_part(double value, int b, int offset)
{
    long v = static_cast<long>(value);
    if (v < 0) {
        fputc('-', g_out_file);
        v = -v;
    }
    char text[72];
    int len = 0;
    do {
        text[len++] = kDigitChars[v % b + offset][0];
        v /= b;
    } while (v > 0);
    while (len > 0) fputc(text[--len], g_out_file);
}

bool report_result(LongNum* pi, int ne, int d, int b, int offset, long t0, double err, FILE* con)
{
    g_carry_mode = 1;
    ln_normalize(pi + 1, ne + 3);

    const double t = (clock_ms() - t0) / 1000.0;
    out_line(con, "  Total Time= %f (s)  Rounding Error= %e \n", t, err);

    fputs("  Pi = ", g_out_file);
    print_integer_part(pi[1], b, offset);
    fputc('.', g_out_file);

    // A line at a time: its label, then its words' digits, in one write.
    const int w = 60 / d;
    char line[80];
    for (int i = 1; i <= ne; i += w) {
        const int c = imin2(w, ne - i + 1);
        int len = std::snprintf(line, sizeof line, "\n %6d ", (i - 1) * d + 1);
        for (int j = 1; j <= c; ++j, len += d)
            format_element_digits(static_cast<int>(pi[i + j]), d, b, offset, line + len);
        fwrite(line, 1, len, g_out_file);
    }
    return ferror(g_out_file) == 0;
}
