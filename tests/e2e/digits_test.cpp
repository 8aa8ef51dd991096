// End-to-end: the real executable, answers on stdin, digits checked against MPFR.
//
// The cases cover every digits-per-word class (d = 11, 9, 8, 7, 6, 5, 4, 3),
// both alphabets ("a start" allows bases up to 52), the three formulas, digit
// counts that are not multiples of d, N = 1, and the word counts at which the
// FMT size doubles (NE = 4/5 and 1020/1021, also 4092/4093).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "support/fixtures.h"
#include "support/oracle.h"
#include "support/run_drmpi.h"
#include "support/text.h"

namespace {

struct DigitsCase {
    int base;
    int alphabet;   // the answer to the alphabet question: 0 digits from "0", 1 from "a"
    int id;
    int n;
    int d;          // digits per word of the base
    int fmt_size;   // smallest power of two >= NE + 4, NE = n / d rounded up
};

void PrintTo(const DigitsCase& c, std::ostream* os)
{
    *os << "base " << c.base << ", alphabet " << c.alphabet << ", ID " << c.id << ", N " << c.n;
}

std::string case_name(const testing::TestParamInfo<DigitsCase>& info)
{
    const DigitsCase& c = info.param;
    char name[64];
    std::snprintf(name, sizeof name, "Base%d_Id%d_N%d%s", c.base, c.id, c.n, c.alphabet ? "_AStart" : "");
    return name;
}

// Terms shrink by these factors per term, for IDs 1 (Chudnovsky), 2 (Ramanujan's
// 1/99^4 series) and 3 (the 1/882^2 series without a square root).
const double kConvergence[] = {151931373056000.0, 96059601.0, 777924.0};

std::vector<std::string> first_lines(const std::string& text, int count)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (static_cast<int>(lines.size()) < count && at <= text.size()) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

class Digits : public testing::TestWithParam<DigitsCase> {};

TEST_P(Digits, EveryDigitIsPi)
{
    const DigitsCase c = GetParam();
    const int ne = (c.n + c.d - 1) / c.d;
    const int pi_decimal = ne * c.d;
    const std::string answers = std::to_string(c.base) + "\n" + std::to_string(c.alphabet) + "\n" +
                                std::to_string(c.id) + "\n" + std::to_string(c.n) + "\n";
    const std::string name = "RamnDRM" + std::to_string(c.id) + ".txt";
    const TempDir dir(TempDir::keep_on_failure);   // for a look when something failed
    const DrmpiRun r = run_drmpi(answers, name, dir.path());
    ASSERT_EQ(r.status, 0) << r.console;
    ASSERT_TRUE(r.file_exists);

    const std::vector<std::string> head = first_lines(r.file, 5);
    ASSERT_EQ(head.size(), 5u) << r.file.substr(0, 400);
    EXPECT_EQ(head[0], " ** Pi Computation by DRM with Ramanujan ** ");
    char want[128];
    std::snprintf(want, sizeof want, "  ID=%d,  Pi Decimal=%d,  FMT Size=%d", c.id, pi_decimal, c.fmt_size);
    EXPECT_EQ(head[1], want);
    std::snprintf(want, sizeof want, "  Base=%d,  Digit-Number of a Elements=%d ", c.base, c.d);
    EXPECT_EQ(head[2], want);

    // The steps cover the series: blocks of fmt_size / 8 terms, as many as the
    // terms the digits need (pi_decimal ln b / ln convergence) call for, and
    // one more for the part of a block.
    std::smatch m;
    ASSERT_TRUE(std::regex_match(head[3], m, std::regex("  DRM Steps= (\\d+),  FMT Size= (\\d+) "))) << head[3];
    const int steps = std::stoi(m[1]);
    EXPECT_EQ(std::stoi(m[2]), c.fmt_size);
    const double block_terms = c.fmt_size / 8;
    const double terms = pi_decimal * std::log(static_cast<double>(c.base)) / std::log(kConvergence[c.id - 1]);
    EXPECT_GT(steps * block_terms, terms - 1e-9) << head[3];
    EXPECT_LE((steps - 1) * block_terms, terms + 1e-9) << head[3];

    ASSERT_TRUE(std::regex_match(
        head[4], m, std::regex("  Total Time= (\\d+\\.\\d{6}) \\(s\\)  Rounding Error= (\\d\\.\\d{6}e[-+]\\d{2,3}) ")))
        << head[4];
    const double rounding_error = std::stod(m[2]);
    EXPECT_GE(rounding_error, 0);
    EXPECT_LT(rounding_error, 0.5) << head[4];
    EXPECT_EQ(find_line(r.console, "  Total Time="), head[4]) << "the console shows another total line";

    EXPECT_TRUE(pi_digits_match(r.file, c.base, c.alphabet ? 10 : 0, c.d, pi_decimal));
}

// {base, alphabet, ID, N, d, FMT size}
INSTANTIATE_TEST_SUITE_P(
    Spread, Digits,
    testing::Values(
        // d = 11
        DigitsCase{3, 0, 1, 44, 11, 8},        // NE = 4
        DigitsCase{3, 1, 2, 45, 11, 16},       // NE = 5
        DigitsCase{3, 0, 1, 500, 11, 64},      // 506 digits
        DigitsCase{3, 0, 3, 1000, 11, 128},
        // d = 9
        DigitsCase{4, 1, 3, 1, 9, 8},
        DigitsCase{4, 0, 2, 1000, 9, 128},
        DigitsCase{4, 0, 1, 9180, 9, 1024},    // NE = 1020
        // d = 8
        DigitsCase{5, 1, 1, 777, 8, 128},
        DigitsCase{5, 0, 2, 8161, 8, 2048},    // NE = 1021
        // d = 7
        DigitsCase{6, 1, 2, 2, 7, 8},
        DigitsCase{6, 0, 3, 500, 7, 128},
        // d = 6
        DigitsCase{7, 0, 2, 1234, 6, 256},
        DigitsCase{8, 1, 3, 600, 6, 128},
        DigitsCase{8, 0, 1, 6120, 6, 1024},    // NE = 1020
        // d = 5
        DigitsCase{10, 0, 1, 1, 5, 8},
        DigitsCase{10, 0, 2, 20, 5, 8},        // NE = 4
        DigitsCase{10, 0, 3, 21, 5, 16},       // NE = 5
        DigitsCase{10, 0, 1, 1000, 5, 256},
        DigitsCase{10, 0, 2, 1000, 5, 256},
        DigitsCase{10, 0, 3, 1000, 5, 256},
        DigitsCase{10, 1, 1, 5100, 5, 1024},   // NE = 1020
        DigitsCase{10, 0, 2, 5101, 5, 2048},   // NE = 1021
        DigitsCase{10, 0, 3, 20000, 5, 4096},
        DigitsCase{13, 0, 3, 16, 5, 8},        // NE = 4
        DigitsCase{13, 1, 2, 999, 5, 256},
        // d = 4
        DigitsCase{16, 1, 3, 999, 4, 256},
        DigitsCase{16, 0, 1, 3000, 4, 1024},
        DigitsCase{26, 1, 1, 17, 4, 16},       // NE = 5
        DigitsCase{26, 1, 2, 2001, 4, 512},
        DigitsCase{26, 0, 3, 4080, 4, 1024},   // NE = 1020
        DigitsCase{26, 0, 1, 4081, 4, 2048},   // NE = 1021
        // d = 3
        DigitsCase{27, 1, 1, 300, 3, 128},
        DigitsCase{36, 0, 2, 1000, 3, 512},
        DigitsCase{36, 0, 1, 12276, 3, 4096},  // NE = 4092
        DigitsCase{36, 0, 2, 12279, 3, 8192},  // NE = 4093
        DigitsCase{37, 1, 3, 800, 3, 512},
        DigitsCase{52, 1, 2, 13, 3, 16},       // NE = 5, the largest base of the "a start" alphabet
        DigitsCase{52, 1, 1, 2000, 3, 1024},
        DigitsCase{61, 0, 2, 1500, 3, 512},
        DigitsCase{62, 0, 1, 12, 3, 8},        // NE = 4
        DigitsCase{62, 0, 2, 700, 3, 256},
        DigitsCase{62, 0, 1, 3060, 3, 1024},   // NE = 1020
        DigitsCase{62, 0, 3, 3061, 3, 2048}),  // NE = 1021
    case_name);

}  // namespace
