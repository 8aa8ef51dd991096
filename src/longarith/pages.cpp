#include "longarith/pages.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

void pages_advise_huge(void* start, unsigned long bytes)
{
#ifdef __linux__
    madvise(start, bytes, MADV_HUGEPAGE);
#else
    (void)start;
    (void)bytes;
#endif
}
