// Operations of linear cost on long numbers and word vectors. All normalize
// their result in the current carry mode; those with a LongNum result strip it.
// Results are cut to n words; divisions truncate toward zero.
#pragma once

#include "longarith/longnum.h"

// z = x + y (sign >= 0) or x - y (sign < 0), word by word, then normalized.
// z may be x or y.
void words_addsub(const double* x, const double* y, double* z, int n, int sign);

// z = x + y or x - y with the exponents aligned; words of the lower operand that
// fall below z[n] are dropped. z may be x when y[0] <= x[0]; otherwise x, y and z
// are distinct. Nothing beyond z[n] is written.
void ln_addsub(const LongNum* x, const LongNum* y, LongNum* z, int n, int sign);

// z = a + y or a - y for a small integer a; z and y are distinct.
void ln_int_addsub(int a, const LongNum* y, LongNum* z, int n, int sign);

// z = m * x; when the top word times m reaches R the result moves down one word
// and the last product is dropped but for its carry. z and x are distinct.
void ln_mul_int(const LongNum* x, int m, LongNum* z, int n);

// z = x / m, truncated (m nonzero); z may be x.
void ln_div_int(const LongNum* x, int m, LongNum* z, int n);

// v = f * v word by word (f a whole number held in a double), then normalized.
void words_scale(double* v, double f, int n);
