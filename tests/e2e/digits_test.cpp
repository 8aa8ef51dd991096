// End-to-end: the real executable, answers on stdin, digits checked against MPFR.
#include <gtest/gtest.h>

#include <string>

#include "support/oracle.h"
#include "support/run_drmpi.h"

namespace {

struct DigitsCase {
    int base;
    int alphabet;
    int id;
    int n;
    int d;            // digits per word of the base
    int pi_decimal;   // n rounded up to a multiple of d
};

class Digits : public testing::TestWithParam<DigitsCase> {};

TEST_P(Digits, EveryDigitIsPi)
{
    const DigitsCase c = GetParam();
    const std::string answers = std::to_string(c.base) + "\n" + std::to_string(c.alphabet) + "\n" +
                                std::to_string(c.id) + "\n" + std::to_string(c.n) + "\n";
    const std::string name = "RamnDRM" + std::to_string(c.id) + ".txt";
    const DrmpiRun r = run_drmpi(answers, name);
    ASSERT_EQ(r.status, 0) << r.console;
    ASSERT_TRUE(r.file_exists);
    EXPECT_TRUE(pi_digits_match(r.file, c.base, c.alphabet ? 10 : 0, c.d, c.pi_decimal));
}

INSTANTIATE_TEST_SUITE_P(Spread, Digits,
                         testing::Values(DigitsCase{10, 0, 1, 1000, 5, 1000}, DigitsCase{10, 0, 2, 1000, 5, 1000},
                                         DigitsCase{10, 0, 3, 1000, 5, 1000}, DigitsCase{3, 0, 1, 500, 11, 506},
                                         DigitsCase{62, 0, 2, 700, 3, 702}, DigitsCase{16, 1, 3, 999, 4, 1000},
                                         DigitsCase{52, 1, 1, 2000, 3, 2001}));

}  // namespace
