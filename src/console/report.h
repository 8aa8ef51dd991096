// The final report: total time, rounding error and the digits of Pi.
#pragma once
#include <cstdio>

#include "longarith/longnum.h"

// Digit characters: "0".."9", "a".."z", "A".."Z", then " ". A digit of value v
// is written as kDigitChars[v + digit offset].
extern const char* const kDigitChars[63];

// Milliseconds of elapsed time since the program started.
long clock_ms();

// The same clock in seconds, to the microsecond.
double clock_seconds();

// Writes the d base-b digits of word (0 <= word < b^d), leading zeros included,
// to g_out_file.
void print_element_digits(int word, int d, int b, int offset);

// Normalizes words 1..ne+3 of pi in place with non-negative words (it sets
// g_carry_mode to +1 for good), writes the total-time and rounding-error line to
// con and g_out_file, then the integer part and the ne fraction words as numbered
// digit lines to g_out_file. t0 is the clock_ms() reading the time counts from.
// Returns false when a write to g_out_file failed.
bool report_result(LongNum* pi, int ne, int d, int b, int offset, long t0, double err, FILE* con);
