#include "longarith/pages.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

void pages_prepare(void* start, unsigned long bytes)
{
#ifdef __linux__
    const unsigned long whole = bytes / kHugePageBytes * kHugePageBytes;
    if (whole > 0) {
        madvise(start, whole, MADV_HUGEPAGE);
        return;
    }
#ifdef MADV_POPULATE_WRITE
    const unsigned long page = 4096;
    const unsigned long first = reinterpret_cast<unsigned long>(start) & ~(page - 1);
    const unsigned long end = (reinterpret_cast<unsigned long>(start) + bytes + page - 1) & ~(page - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#endif
#else
    (void)start;
    (void)bytes;
#endif
}
