// The memory of the large static arrays: a run touches only the part its
// size needs, and pays for every page it touches first. Large parts are
// asked for huge pages (fewer faults, fewer TLB misses in the long
// transforms); small parts are mapped in one call instead of one fault per
// page, which is a visible share of a short run.
#pragma once

constexpr unsigned long kHugePageBytes = 1UL << 21;

// Prepares [start, start + bytes) for its first use: the whole huge pages in
// it are advised for huge pages (start should then be aligned to
// kHugePageBytes); a range shorter than a huge page is mapped at once. A hint
// only: no effect where the system has no such advice, and nothing to report.
void pages_prepare(void* start, unsigned long bytes);
