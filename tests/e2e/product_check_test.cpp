// End-to-end: drmpi built with fault injection, so that products go wrong on
// purpose. A fault that does not come back must leave every digit right; one
// that stays must stop the run with its error line and status 1, and without
// an output file.
#include <gtest/gtest.h>

#include <string>

#include "support/fixtures.h"
#include "support/oracle.h"
#include "support/run_drmpi.h"

namespace {

std::string last_line(const std::string& text)
{
    std::string t = text;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    return t.substr(t.rfind('\n') + 1);
}

struct FaultCase {
    const char* name;
    const char* faults;   // DRMPI_FAULTS, or empty for none
};

class ProductChecks : public testing::TestWithParam<FaultCase> {};

TEST_P(ProductChecks, AFaultThatDoesNotComeBackLeavesEveryDigitRight)
{
    const FaultCase c = GetParam();
    const std::string prefix = *c.faults != 0 ? std::string("DRMPI_FAULTS=") + c.faults : "";
    const TempDir dir;
    const DrmpiRun r = run_drmpi("10\n0\n1\n20000\n", "RamnDRM1.txt", dir.path(), prefix, drmpi_faults_exe());
    ASSERT_EQ(r.status, 0) << r.console;
    ASSERT_TRUE(r.file_exists);
    EXPECT_TRUE(pi_digits_match(r.file, 10, 0, 5, 20000));
}

INSTANTIATE_TEST_SUITE_P(Faults, ProductChecks,
                         testing::Values(FaultCase{"None", ""}, FaultCase{"FirstExactProduct", "once:0"},
                                         FaultCase{"FirstTransformProduct", "once:256"},
                                         FaultCase{"FirstLongProduct", "once:4096"}),
                         [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(ProductChecksStop, AFaultThatStaysStopsTheRun)
{
    for (const char* faults : {"always:0", "always:256", "always:4096"}) {
        SCOPED_TRACE(faults);
        const TempDir dir;
        const DrmpiRun r = run_drmpi("10\n0\n1\n20000\n", "RamnDRM1.txt", dir.path(),
                                     std::string("DRMPI_FAULTS=") + faults, drmpi_faults_exe());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(last_line(r.console), " ** Error Stop ** Product check failed ");
        EXPECT_FALSE(r.file_exists) << "no file may be left: " << r.file.substr(0, 300);
    }
}

}  // namespace
