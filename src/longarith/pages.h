// The memory of the large static arrays: a run touches only the part its
// size needs, and pays for every page it touches first. A short run maps the
// small parts it needs in one call rather than one fault per page, which is a
// visible share of its time; a long run lets its pages fault in as they are
// used (mapping megabytes up front costs as much, and huge pages, which the
// kernel clears whole, cost more here than the faults they save).
#pragma once

// Maps [start, start + bytes) at once when it is shorter than 2 MiB; a hint
// only: no effect where the system has no such call, and nothing to report.
void pages_prepare(void* start, unsigned long bytes);
