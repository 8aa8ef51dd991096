// drmpi with products corrupted on purpose, for the tests of the product
// checks. The environment variable DRMPI_FAULTS says which:
//   once:N     the first product of at least N words gets one word changed
//   always:N   every product of at least N words does
// Without it the program runs unharmed.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "drm/driver.h"
#include "longarith/check.h"

namespace {

bool always = false;
int min_len = 0;
bool done = false;

void corrupt(double* product, int len)
{
    if (len < min_len || (done && !always)) return;
    product[len / 2] += 1;
    done = true;
}

}  // namespace

int main()
{
    const char* mode = std::getenv("DRMPI_FAULTS");
    if (mode != nullptr) {
        always = std::strncmp(mode, "always", 6) == 0;
        const char* colon = std::strchr(mode, ':');
        min_len = colon != nullptr ? std::atoi(colon + 1) : 0;
        g_fault_hook = corrupt;
    }
    return drm_run(stdin, stdout);
}
