// Huge pages for the large static arrays: tens of megabytes are first touched
// during a run, and with 4 KiB pages each touch of a new page is a fault.
#pragma once

constexpr unsigned long kHugePageBytes = 1UL << 21;

// Asks the kernel to back the whole huge pages of [start, start + bytes) with
// huge pages where it can; start should be aligned to kHugePageBytes, and a
// range shorter than one huge page is left alone (a short run would only pay
// for zeroing whole huge pages it does not use). A hint only: no effect where
// the system has no such advice, and nothing to report.
void pages_advise_huge(void* start, unsigned long bytes);
