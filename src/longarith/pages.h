// Huge pages for the large static arrays: tens of megabytes are first touched
// during a run, and with 4 KiB pages each touch of a new page is a fault.
#pragma once

constexpr unsigned long kHugePageBytes = 1UL << 21;

// Asks the kernel to back [start, start + bytes) with huge pages where it can;
// start should be aligned to kHugePageBytes. A hint only: no effect where the
// system has no such advice, and nothing to report.
void pages_advise_huge(void* start, unsigned long bytes);
