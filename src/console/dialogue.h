// The run dialogue: four answers in, run parameters, radix, output file and header out.
#pragma once
#include <cstdio>

#include "console/outfile.h"

struct MethodRow {
    const char* id_prompt;       // the formula ID prompt
    const char* formula_list;    // the IDs and their names
    const char* file_template;   // output file name; the '?' at index 7 becomes the ID
    const char* title;           // method title of the first header line
    int id_count;                // valid IDs are 1..id_count
};

extern const MethodRow kMethodTable[4];
constexpr int kRamanujanRow = 3;   // the row of kMethodTable this program runs (DRM with Ramanujan)

struct RunParams {
    int formula_index;        // formula ID - 1
    int fmt_size;             // FMT size: smallest power of two >= element_count + 4
    int element_count;        // NE: fraction words of Pi computed and written
    int pi_decimal;           // NE * d: digits written after the point
    int digits_per_element;   // d: base-b digits per word
    int base;                 // b, validated
    int digit_offset;         // 0: digits from "0"; 10: digits from "a"
};

// Asks the four questions on con, reading the answers from in; sets g_radix,
// g_carry_mode (balanced), creates the output file (out_file_create) after the
// ID and writes the three header lines to con and the file. Returns 0 and
// fills *params when the request fits capacity, with g_out_file open for the
// rest of the run. Otherwise writes the stop line to con and returns the exit
// status for the program (1), with the output file settled: nothing created
// when it cannot be, removed again after N < 1, and put in place holding the
// header after N > ND.
int run_dialogue(int method_index, int capacity, FILE* in, FILE* con, RunParams* params);

// Reads one whitespace-separated answer. Returns false, leaving *value alone,
// when the token is not a whole decimal int ("abc", "1e3", "12x", out of range)
// or the input has ended.
bool dialogue_read_int(FILE* in, int* value);
