#include "longarith/pages.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

void pages_prepare(void* start, unsigned long bytes)
{
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    const unsigned long page = 4096, most = 1UL << 21;
    const unsigned long first = reinterpret_cast<unsigned long>(start) & ~(page - 1);
    const unsigned long end = (reinterpret_cast<unsigned long>(start) + bytes + page - 1) & ~(page - 1);
    if (end > first && end - first < most) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)start;
    (void)bytes;
#endif
}
