#include "longarith/pages.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

void pages_advise_huge(void* start, unsigned long bytes)
{
#ifdef __linux__
    const unsigned long whole = bytes / kHugePageBytes * kHugePageBytes;
    if (whole > 0) madvise(start, whole, MADV_HUGEPAGE);
#else
    (void)start;
    (void)bytes;
#endif
}
