// Test helpers shared by the multiplication and block tests: word vectors as
// GMP integers and random balanced words.
#pragma once

#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "longarith/longnum.h"

// An mpz_t that frees itself.
class Mpz {
public:
    Mpz() { mpz_init(v); }
    explicit Mpz(long x) { mpz_init_set_si(v, x); }
    Mpz(const Mpz& o) { mpz_init_set(v, o.v); }
    Mpz& operator=(const Mpz& o)
    {
        mpz_set(v, o.v);
        return *this;
    }
    ~Mpz() { mpz_clear(v); }
    mpz_ptr get() { return v; }
    mpz_srcptr get() const { return v; }
    std::string str() const
    {
        std::vector<char> buf(mpz_sizeinbase(v, 10) + 2);
        mpz_get_str(buf.data(), 10, v);
        return buf.data();
    }
    friend bool operator==(const Mpz& a, const Mpz& b) { return mpz_cmp(a.v, b.v) == 0; }

    mpz_t v;
};

namespace mpz_words_detail {

inline void horner(mpz_ptr out, const double* v, size_t len, unsigned long radix)
{
    mpz_set_ui(out, 0);
    for (size_t i = 0; i < len; ++i) {
        mpz_mul_ui(out, out, radix);
        const double w = v[i];
        if (w >= 0) mpz_add_ui(out, out, static_cast<unsigned long>(w));
        else mpz_sub_ui(out, out, static_cast<unsigned long>(-w));
    }
}

inline void split(mpz_ptr out, const double* v, size_t len, unsigned long radix, std::map<size_t, Mpz>& powers)
{
    if (len <= 64) {
        horner(out, v, len, radix);
        return;
    }
    const size_t low = len / 2;
    const size_t high = len - low;
    auto it = powers.find(low);
    if (it == powers.end()) {
        Mpz p;
        mpz_ui_pow_ui(p.get(), radix, low);
        it = powers.emplace(low, p).first;
    }
    Mpz lower;
    split(out, v, high, radix, powers);
    split(lower.get(), v + high, low, radix, powers);
    mpz_mul(out, out, it->second.get());
    mpz_add(out, out, lower.get());
}

}  // namespace mpz_words_detail

// The integer sum v[i] * R^(len - 1 - i) of a word vector (words whole, of
// either sign, any size below 2^53). Splits in halves, so long vectors are cheap.
inline Mpz words_value(const double* v, size_t len, double radix)
{
    Mpz out;
    std::map<size_t, Mpz> powers;
    mpz_words_detail::split(out.get(), v, len, static_cast<unsigned long>(radix), powers);
    return out;
}

inline Mpz words_value(const std::vector<double>& v, double radix) { return words_value(v.data(), v.size(), radix); }

// out = the integer of the word vector v[0..n-1], units in v[n-1], in the radix r.
inline void words_value(mpz_ptr out, const double* v, int n, int64_t r)
{
    mpz_set(out, words_value(v, static_cast<size_t>(n), static_cast<double>(r)).get());
}

// The radix of base b as the dialogue forms it: the largest d with b^d <= 10^5.7.
struct Radix {
    int base;
    int digits;
    int64_t r;
};

// The radices of all bases 3..62.
inline std::vector<Radix> all_radices()
{
    std::vector<Radix> out;
    for (int b = 3; b <= 62; ++b) {
        const int d = static_cast<int>(5.7 / (std::log(static_cast<double>(b)) / std::log(10.0)));
        int64_t r = 1;
        for (int i = 0; i < d; ++i) r *= b;
        out.push_back({b, d, r});
    }
    return out;
}

// len words drawn uniformly from the balanced range: [-R/2, R/2] for even R,
// [-(R-1)/2, (R-1)/2] for odd R.
inline std::vector<double> random_balanced(std::mt19937_64& rng, size_t len, double radix)
{
    const long h = static_cast<long>(radix) / 2;
    std::uniform_int_distribution<long> dist(-h, h);
    std::vector<double> v(len);
    for (double& w : v) w = static_cast<double>(dist(rng));
    return v;
}

// Every word is whole, and every word but the first lies in the balanced
// range of the radix (the first takes the final carry and is not reduced).
inline testing::AssertionResult balanced_words(const double* v, size_t len, double radix)
{
    const double h = std::floor(radix / 2);
    for (size_t i = 0; i < len; ++i) {
        if (v[i] != std::floor(v[i]))
            return testing::AssertionFailure() << "word " << i << " = " << v[i] << " is not whole";
        if (i > 0 && std::fabs(v[i]) > h)
            return testing::AssertionFailure() << "word " << i << " = " << v[i] << " is outside [-" << h << ", " << h
                                               << "]";
    }
    return testing::AssertionSuccess();
}
