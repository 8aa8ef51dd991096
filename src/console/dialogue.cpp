#include "console/dialogue.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "longarith/longnum.h"

const MethodRow kMethodTable[4] = {
    {" Type In ID, (ID=1,2,3,4,5) ", " 1;Machin, 2;Gauss, 3;Klingen., 4;Stoemer, 5;Takano",
     "AtanORG?.txt", "Atan Original", 5},
    {" Type In ID, (ID=1)         ", " 1;Gauss-Legendre (Now Only)                       ",
     "AGM-2nd?.txt", "AGM Gauss-Legendre", 1},
    {" Type In ID, (ID=1,2,3,4,5) ", " 1;Machin, 2;Gauss, 3;Klingen., 4;Stoemer, 5;Takano",
     "AtanDRM?.txt", "DRM with Atan", 5},
    {" Type In ID, (ID=1,2,3)     ", " 1;Chudnovsky, 2;Fast-Ramanujan 3;Free-Sqrt        ",
     "RamnDRM?.txt", "DRM with Ramanujan", 3},
};

bool dialogue_read_int(FILE* in, int* value)
{
    int ch = getc(in);
    while (ch != EOF && std::isspace(ch)) ch = getc(in);
    if (ch == EOF) return false;

    // Take the whole token, however long, so that a bad answer is consumed
    // entirely and the next answer starts at the next token.
    bool ok = true;
    bool negative = false;
    bool any_digit = false;
    int64_t magnitude = 0;
    if (ch == '+' || ch == '-') {
        negative = ch == '-';
        ch = getc(in);
    }
    for (; ch != EOF && !std::isspace(ch); ch = getc(in)) {
        if (ch < '0' || ch > '9') {
            ok = false;
            continue;
        }
        any_digit = true;
        if (magnitude <= INT32_MAX + int64_t{1}) magnitude = magnitude * 10 + (ch - '0');
    }
    if (ch != EOF) ungetc(ch, in);
    const int64_t limit = negative ? INT32_MAX + int64_t{1} : INT32_MAX;
    if (!ok || !any_digit || magnitude > limit) return false;
    *value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

// Writes a prompt and reads its answer; an unreadable answer gives fallback.
static int ask(FILE* in, FILE* con, int fallback)
{
    fflush(con);
    int value = fallback;
    dialogue_read_int(in, &value);
    return value;
}

int run_dialogue(int method_index, int capacity, FILE* in, FILE* con, RunParams* params)
{
    fprintf(con, " Type In Base Value ( from 3 to 62 ) \n");
    int base = ask(in, con, 26);
    fprintf(con, " Type In 0 or 1 (0; 0 start, 1; a start) \n");
    const int alphabet = ask(in, con, 0);
    const int offset = alphabet != 0 ? 10 : 0;
    if (base < 3 || base > 62 - offset) base = 26;

    const int d = static_cast<int>(5.7 / (std::log(static_cast<double>(base)) / std::log(10.0)));
    g_radix = ipow(base, d);
    g_carry_mode = -1;

    const MethodRow& row = kMethodTable[method_index >= 0 && method_index <= 3 ? method_index : 0];
    fprintf(con, "%s \n", row.id_prompt);
    fprintf(con, "%s \n", row.formula_list);
    int id = ask(in, con, 1);
    if (id < 1 || id > row.id_count) id = 1;

    char name[32];
    std::snprintf(name, sizeof name, "%s", row.file_template);
    name[7] = static_cast<char>('0' + id);
    if (!out_file_create(name)) {
        fprintf(con, " ** Error Stop ** Cannot create %s \n", name);
        fflush(con);
        return 1;
    }

    fprintf(con, " Type In N (N=Number of Pi %d-Base) \n", base);
    const int n_digits = ask(in, con, 0);
    if (n_digits < 1) {
        out_file_discard();
        fprintf(con, " ** Error Stop ** N < 1 \n");
        fflush(con);
        return 1;
    }

    // Sizes in 64 bits: N + d - 1 and NE * d may exceed an int near INT_MAX.
    const int64_t ne = (int64_t{n_digits} + d - 1) / d;
    const int64_t pi_decimal = ne * d;
    int64_t fmt_size = 1;
    while (fmt_size < ne + 4) fmt_size *= 2;

    fprintf(con, " ** Pi Computation by %s \n", row.title);
    fprintf(g_out_file, " ** Pi Computation by %s ** \n", row.title);
    out_line(con, "  ID=%d,  Pi Decimal=%lld,  FMT Size=%lld\n", id, static_cast<long long>(pi_decimal),
             static_cast<long long>(fmt_size));
    out_line(con, "  Base=%d,  Digit-Number of a Elements=%d \n", base, d);

    if (fmt_size > capacity) {
        fprintf(con, " ** Error Stop ** N > ND \n");
        // The request is refused, but its header is the file's whole content.
        if (!out_file_commit()) fprintf(con, " ** Error Stop ** Cannot write %s \n", g_out_name);
        fflush(con);
        return 1;
    }

    params->formula_index = id - 1;
    params->fmt_size = static_cast<int>(fmt_size);
    params->element_count = static_cast<int>(ne);
    params->pi_decimal = static_cast<int>(pi_decimal);
    params->digits_per_element = d;
    params->base = base;
    params->digit_offset = offset;
    return 0;
}
