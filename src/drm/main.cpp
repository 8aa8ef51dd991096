#include <cstdio>

#include "drm/driver.h"

int main()
{
    return drm_run(stdin, stdout);
}
