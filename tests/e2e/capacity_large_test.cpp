// End-to-end at the capacity: a million decimal digits with each formula, and
// the largest accepted N (FMT size 2^18, NE = 262140) in bases 10 (each
// formula), 26, 62 and 3, every digit checked against MPFR. Each run prints
// its total-time line.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <regex>
#include <string>

#include "support/fixtures.h"
#include "support/oracle.h"
#include "support/run_drmpi.h"
#include "support/text.h"

namespace {

struct CapacityCase {
    int base;
    int id;
    int n;
    int d;            // digits per word of the base
    int pi_decimal;   // n rounded up to a multiple of d
};

void PrintTo(const CapacityCase& c, std::ostream* os)
{
    *os << "base " << c.base << ", ID " << c.id << ", N " << c.n;
}

std::string case_name(const testing::TestParamInfo<CapacityCase>& info)
{
    char name[64];
    std::snprintf(name, sizeof name, "Base%d_Id%d_N%d", info.param.base, info.param.id, info.param.n);
    return name;
}

class Capacity : public testing::TestWithParam<CapacityCase> {};

TEST_P(Capacity, EveryDigitIsPi)
{
    const CapacityCase c = GetParam();
    const std::string answers =
        std::to_string(c.base) + "\n0\n" + std::to_string(c.id) + "\n" + std::to_string(c.n) + "\n";
    const TempDir dir(TempDir::keep_on_failure);   // the file is several megabytes: removed unless needed
    const DrmpiRun r = run_drmpi(answers, "RamnDRM" + std::to_string(c.id) + ".txt", dir.path());
    ASSERT_EQ(r.status, 0) << r.console;
    ASSERT_TRUE(r.file_exists);

    const std::string total = find_line(r.console, "  Total Time=");
    std::printf("base %d, ID %d, N %d:%s\n", c.base, c.id, c.n, total.c_str());
    RecordProperty("total_line", total);

    char header[96];
    std::snprintf(header, sizeof header, "  ID=%d,  Pi Decimal=%d,  FMT Size=262144\n", c.id, c.pi_decimal);
    EXPECT_NE(r.file.find(header), std::string::npos) << r.file.substr(0, 300);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.file.cbegin(), r.file.cbegin() + std::min<size_t>(r.file.size(), 400), m,
                                  std::regex("Rounding Error= (\\S+) \n")));
    EXPECT_LT(std::stod(m[1]), 0.5) << total;

    EXPECT_TRUE(pi_digits_match(r.file, c.base, 0, c.d, c.pi_decimal));
}

INSTANTIATE_TEST_SUITE_P(Largest, Capacity,
                         testing::Values(CapacityCase{10, 1, 1000000, 5, 1000000},
                                         CapacityCase{10, 2, 1000000, 5, 1000000},
                                         CapacityCase{10, 3, 1000000, 5, 1000000},
                                         CapacityCase{10, 1, 1310700, 5, 1310700},   // NE = 262140
                                         CapacityCase{10, 2, 1310700, 5, 1310700},
                                         CapacityCase{10, 3, 1310700, 5, 1310700},
                                         CapacityCase{26, 1, 1048560, 4, 1048560},   // NE = 262140
                                         CapacityCase{62, 1, 786420, 3, 786420},     // NE = 262140
                                         CapacityCase{3, 1, 2883540, 11, 2883540}),  // NE = 262140
                         case_name);

}  // namespace
