#include "support/oracle.h"

#include <gmp.h>
#include <mpfr.h>

#include <cmath>
#include <cstdio>

std::vector<int> pi_fraction_digits(int base, int count)
{
    const mpfr_prec_t prec = static_cast<mpfr_prec_t>(count * std::log2(static_cast<double>(base))) + 128;
    mpfr_t pi, scale;
    mpfr_inits2(prec, pi, scale, static_cast<mpfr_ptr>(nullptr));
    mpfr_const_pi(pi, MPFR_RNDN);
    mpfr_sub_ui(pi, pi, 3, MPFR_RNDN);
    mpz_t p, z;
    mpz_inits(p, z, nullptr);
    mpz_ui_pow_ui(p, base, count);
    mpfr_mul_z(pi, pi, p, MPFR_RNDN);
    mpfr_get_z(z, pi, MPFR_RNDD);

    // mpz_get_str spells 10..35 as a..z up to base 36 and as A..Z above it, then a..z for 36..61.
    std::vector<char> text(mpz_sizeinbase(z, base) + 2);
    mpz_get_str(text.data(), base, z);
    std::string s(text.data());
    std::vector<int> digits(count, 0);
    const int pad = count - static_cast<int>(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        int v = -1;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (base <= 36 && c >= 'a' && c <= 'z') v = c - 'a' + 10;
        else if (base > 36 && c >= 'A' && c <= 'Z') v = c - 'A' + 10;
        else if (base > 36 && c >= 'a' && c <= 'z') v = c - 'a' + 36;
        digits[pad + i] = v;
    }
    mpz_clears(p, z, nullptr);
    mpfr_clears(pi, scale, static_cast<mpfr_ptr>(nullptr));
    return digits;
}

std::vector<int> pi_integer_digits(int base)
{
    std::vector<int> d;
    for (int v = 3; v > 0; v /= base) d.insert(d.begin(), v % base);
    return d;
}

int digit_value(char c, int offset)
{
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'Z') v = c - 'A' + 36;
    return v < 0 ? -1 : v - offset;
}

testing::AssertionResult pi_digits_match(const std::string& file, int base, int offset, int d, int pi_decimal)
{
    const std::string head = "  Pi = ";
    const size_t at = file.find(head);
    if (at == std::string::npos) return testing::AssertionFailure() << "no \"  Pi = \" in the file";
    size_t pos = at + head.size();

    const std::vector<int> int_digits = pi_integer_digits(base);
    for (int v : int_digits) {
        if (pos >= file.size() || digit_value(file[pos], offset) != v)
            return testing::AssertionFailure() << "integer part wrong at byte " << pos;
        ++pos;
    }
    if (pos >= file.size() || file[pos] != '.') return testing::AssertionFailure() << "no point after the integer part";
    ++pos;

    const std::vector<int> want = pi_fraction_digits(base, pi_decimal);
    const int per_line = (60 / d) * d;
    int seen = 0;
    while (seen < pi_decimal) {
        char label[32];
        std::snprintf(label, sizeof label, "\n %6d ", seen + 1);
        if (file.compare(pos, std::char_traits<char>::length(label), label) != 0)
            return testing::AssertionFailure() << "line label for digit " << seen + 1 << " missing";
        pos += std::char_traits<char>::length(label);
        const int on_line = std::min(per_line, pi_decimal - seen);
        for (int i = 0; i < on_line; ++i, ++pos, ++seen) {
            if (pos >= file.size()) return testing::AssertionFailure() << "file ends at digit " << seen + 1;
            const int v = digit_value(file[pos], offset);
            if (v != want[seen])
                return testing::AssertionFailure()
                       << "digit " << seen + 1 << " is '" << file[pos] << "' (" << v << "), Pi has " << want[seen];
        }
    }
    if (pos != file.size())
        return testing::AssertionFailure() << (file.size() - pos) << " bytes after the last digit";
    return testing::AssertionSuccess();
}
