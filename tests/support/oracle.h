// Independent oracles: digits of Pi from MPFR, and the reading of an output file.
#pragma once
#include <string>
#include <vector>

#include <gtest/gtest.h>

// The first count digits of the fraction of Pi in base b (2..62), as values
// 0..b-1, by MPFR: floor(frac(Pi) * b^count) with ample working precision.
std::vector<int> pi_fraction_digits(int base, int count);

// The digits of the integer part of Pi (3) in base b, as values, most significant first.
std::vector<int> pi_integer_digits(int base);

// The value of the character c in our alphabet with the given digit offset
// ("0".."9", "a".."z", "A".."Z", shifted down by offset); -1 if none.
int digit_value(char c, int offset);

// Checks the part of an output file from the line "  Pi = " on: the integer
// part and the fraction digits equal Pi's in base b, pi_decimal of them, in
// numbered lines of (60 / d) * d digits with labels " %6d " as the layout has.
testing::AssertionResult pi_digits_match(const std::string& file, int base, int offset, int d, int pi_decimal);
