// One input through the run dialogue, with everything it promises checked.
//
// Shared by the libFuzzer target (tests/fuzz/dialogue_fuzz.cpp), which aborts
// on any complaint, and by the replay of the saved corpus in the ordinary test
// build (tests/console/dialogue_corpus_test.cpp). Both run it in a private
// current directory, where the dialogue creates its output file.
//
// The answers are read here a second time by a separate, deliberately simple
// reading of the same bytes (split at C-locale white space, one optional sign,
// decimal digits, int range), which gives the answer the dialogue should have
// taken for each question and so the outcome it should have reached.
#pragma once

#include <dirent.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/dialogue.h"
#include "drm/storage.h"
#include "longarith/longnum.h"

namespace dialogue_check {

constexpr int kMethodRow = kRamanujanRow;
constexpr int kCapacity = ND;         // the program's capacity
constexpr int64_t kRadixLimit = 501187;   // floor(10^5.7): the radix b^d stays at or below it

struct Answer {
    bool ok = false;   // a whole decimal int
    int value = 0;     // when ok
};

inline bool is_space(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One token: an optional sign, then one or more decimal digits, in int range.
inline Answer read_token(const std::string& t)
{
    Answer a;
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    if (i == t.size()) return a;
    for (size_t j = i; j < t.size(); ++j)
        if (t[j] < '0' || t[j] > '9') return a;
    while (i + 1 < t.size() && t[i] == '0') ++i;   // leading zeros
    if (t.size() - i > 10) return a;               // more than 10 significant digits
    const int64_t magnitude = std::strtoll(t.c_str() + i, nullptr, 10);
    if (magnitude > (negative ? int64_t{2147483648} : int64_t{2147483647})) return a;
    a.ok = true;
    a.value = static_cast<int>(negative ? -magnitude : magnitude);
    return a;
}

inline std::vector<Answer> read_tokens(const std::string& input)
{
    std::vector<Answer> answers;
    size_t i = 0;
    while (true) {
        while (i < input.size() && is_space(static_cast<unsigned char>(input[i]))) ++i;
        if (i == input.size()) return answers;
        const size_t start = i;
        while (i < input.size() && !is_space(static_cast<unsigned char>(input[i]))) ++i;
        answers.push_back(read_token(input.substr(start, i - start)));
    }
}

// What the dialogue should do with these answers.
struct Expected {
    int status = 1;
    int base = 26;
    int offset = 0;
    int d = 0;
    int id = 1;
    int64_t n = 0;             // the N answered (0 when unreadable or missing)
    int64_t element_count = 0;
    int64_t fmt_size = 1;
    std::string file_name;
    std::string stop_line;     // the console's last line when status is 1
};

inline Expected expected_outcome(const std::vector<Answer>& tokens, int capacity)
{
    auto answer = [&](size_t k, int fallback) { return k < tokens.size() && tokens[k].ok ? tokens[k].value : fallback; };
    Expected e;
    const int base_answer = answer(0, 26);
    e.offset = answer(1, 0) != 0 ? 10 : 0;
    e.base = base_answer >= 3 && base_answer <= 62 - e.offset ? base_answer : 26;
    int64_t radix = e.base;
    e.d = 1;
    while (radix * e.base <= kRadixLimit) {
        radix *= e.base;
        ++e.d;
    }
    const int id_answer = answer(2, 1);
    e.id = id_answer >= 1 && id_answer <= 3 ? id_answer : 1;
    e.file_name = "RamnDRM" + std::to_string(e.id) + ".txt";
    e.n = answer(3, 0);
    if (e.n < 1) {
        e.stop_line = " ** Error Stop ** N < 1 \n";
        return e;
    }
    e.element_count = (e.n + e.d - 1) / e.d;
    while (e.fmt_size < e.element_count + 4) e.fmt_size *= 2;
    if (e.fmt_size > capacity) {
        e.stop_line = " ** Error Stop ** N > ND \n";
        return e;
    }
    e.status = 0;
    return e;
}

inline int64_t power(int64_t b, int e)
{
    int64_t r = 1;
    while (e-- > 0) r *= b;
    return r;
}

inline bool ends_with(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

inline std::string last_line(const std::string& s)
{
    if (s.empty()) return s;
    const size_t at = s.rfind('\n', s.size() - 2);
    return at == std::string::npos ? s : s.substr(at + 1);
}

inline std::string read_whole(const std::string& path)
{
    std::string s;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return "(cannot open " + path + ")";
    char buf[4096];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, got);
    std::fclose(f);
    return s;
}

// Names in the current directory that start with a dot, "." and ".." aside:
// the dialogue's temporary files, which no finished dialogue may leave.
inline std::string hidden_names()
{
    std::string names;
    DIR* dir = opendir(".");
    if (dir == nullptr) return "(cannot read the directory)";
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name[0] == '.' && name != "." && name != "..") names += name + " ";
    }
    closedir(dir);
    return names;
}

inline std::string header(const std::string& first_line_end, const Expected& e)
{
    return " ** Pi Computation by DRM with Ramanujan " + first_line_end + "\n  ID=" + std::to_string(e.id) +
           ",  Pi Decimal=" + std::to_string(e.element_count * e.d) + ",  FMT Size=" + std::to_string(e.fmt_size) +
           "\n  Base=" + std::to_string(e.base) + ",  Digit-Number of a Elements=" + std::to_string(e.d) + " \n";
}

// The documented ranges of a run's parameters, whatever the answers were.
inline void check_ranges(const RunParams& p, int64_t n_answered, int capacity, std::string& problems)
{
    auto fail = [&](const std::string& what) { problems += "  " + what + "\n"; };
    if (p.digit_offset != 0 && p.digit_offset != 10) fail("digit_offset not 0 or 10");
    if (p.base < 3 || p.base > 62 - p.digit_offset) fail("base out of its range for the alphabet");
    const int d = p.digits_per_element;
    if (d < 3 || d > 11) {
        fail("digits_per_element outside 3..11");
    } else if (p.base >= 3 && p.base <= 62) {
        if (power(p.base, d) > kRadixLimit || power(p.base, d + 1) <= kRadixLimit)
            fail("digits_per_element is not the largest d with base^d <= 501187");
    }
    if (p.element_count < 1) fail("element_count below 1");
    if (int64_t{p.pi_decimal} != int64_t{p.element_count} * d) fail("pi_decimal != element_count * d");
    if (p.pi_decimal < n_answered) fail("pi_decimal below the N answered");
    if (p.pi_decimal - d >= n_answered) fail("more than d - 1 digits added to N");
    const int f = p.fmt_size;
    if (f < 1 || (f & (f - 1)) != 0) fail("fmt_size not a power of two");
    if (int64_t{f} < int64_t{p.element_count} + 4) fail("fmt_size below element_count + 4");
    if (f > 1 && int64_t{f / 2} >= int64_t{p.element_count} + 4) fail("fmt_size not the smallest power of two");
    if (f > capacity) fail("fmt_size above the capacity");
    if (p.formula_index < 0 || p.formula_index > 2) fail("formula_index outside 0..2");
}

inline std::string params_text(const RunParams& p)
{
    return "formula_index=" + std::to_string(p.formula_index) + " fmt_size=" + std::to_string(p.fmt_size) +
           " element_count=" + std::to_string(p.element_count) + " pi_decimal=" + std::to_string(p.pi_decimal) +
           " d=" + std::to_string(p.digits_per_element) + " base=" + std::to_string(p.base) +
           " digit_offset=" + std::to_string(p.digit_offset);
}

// dialogue_read_int over the whole input: one result per token, in order,
// then false at the end, and a failed read leaves the value alone.
inline void check_read_int(const std::string& input, const std::vector<Answer>& tokens, std::string& problems)
{
    FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    if (in == nullptr) {
        problems += "  fmemopen failed\n";
        return;
    }
    for (size_t k = 0; k <= tokens.size(); ++k) {
        const int untouched = k % 2 == 0 ? -4242 : 4242;
        int value = untouched;
        const bool ok = dialogue_read_int(in, &value);
        const bool want_ok = k < tokens.size() && tokens[k].ok;
        const int want_value = want_ok ? tokens[k].value : untouched;
        if (ok != want_ok || value != want_value) {
            problems += "  dialogue_read_int, read " + std::to_string(k + 1) + ": got " + (ok ? "true " : "false ") +
                        std::to_string(value) + ", expected " + (want_ok ? "true " : "false ") +
                        std::to_string(want_value) + "\n";
            break;
        }
    }
    std::fclose(in);
}

// Runs the dialogue on input as its standard input in the current directory,
// checks the outcome, and puts a run's output file in place (out_file_commit)
// to read it. Returns "" when all is well, else a description of every
// violation.
inline std::string check_input(const std::string& input, int capacity = kCapacity)
{
    const std::vector<Answer> tokens = read_tokens(input);
    const Expected e = expected_outcome(tokens, capacity);
    std::string problems;
    auto fail = [&](const std::string& what) { problems += "  " + what + "\n"; };

    FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    char* con_buf = nullptr;
    size_t con_size = 0;
    FILE* con = open_memstream(&con_buf, &con_size);
    if (in == nullptr || con == nullptr) return "  cannot open the input or console stream\n";

    out_file_discard();
    // What has the file's name before: a stop for N must leave it so.
    const std::string before = read_whole(e.file_name);
    g_radix = 7;
    g_carry_mode = 5;
    RunParams p{-7, -7, -7, -7, -7, -7, -7};
    const int status = run_dialogue(kMethodRow, capacity, in, con, &p);
    std::fclose(in);
    std::fclose(con);
    const std::string console(con_buf, con_size);
    std::free(con_buf);
    const bool open_after = g_out_file != nullptr;
    const bool committed = status == 0 && out_file_commit();
    const std::string file = read_whole(e.file_name);

    if (status != 0 && status != 1) fail("status " + std::to_string(status) + ", neither 0 nor 1");
    if (status != e.status) fail("status " + std::to_string(status) + ", expected " + std::to_string(e.status));
    if (console.rfind(" Type In Base Value ( from 3 to 62 ) \n", 0) != 0) fail("the console does not start with the base prompt");
    if (e.file_name != g_out_name) fail("output file " + std::string(g_out_name) + ", expected " + e.file_name);
    if (status == 0 && !open_after) fail("no output file open after a run's dialogue");
    if (status == 0 && !committed) fail("the output file could not be put in place");
    if (status != 0 && open_after) fail("the output file left open after a stop");
    const std::string hidden = hidden_names();
    if (!hidden.empty()) fail("left in the directory: " + hidden);
    if (g_radix != static_cast<double>(power(e.base, e.d))) fail("g_radix is not base^d");
    if (g_carry_mode != -1) fail("g_carry_mode is not balanced (-1)");
    const std::string n_prompt = " Type In N (N=Number of Pi " + std::to_string(e.base) + "-Base) \n";
    if (console.find(n_prompt) == std::string::npos) fail("no N prompt with the base");

    if (status == 0) {
        check_ranges(p, e.n, capacity, problems);
        if (p.base != e.base || p.digit_offset != e.offset || p.formula_index != e.id - 1 ||
            p.digits_per_element != e.d || p.element_count != e.element_count || p.fmt_size != e.fmt_size)
            fail("parameters differ from the answers read");
        if (!ends_with(console, header("", e))) fail("the console does not end with the header");
        if (file != header("** ", e)) fail("the output file does not hold exactly the header");
    } else if (status == 1) {
        const std::string stop = last_line(console);
        if (stop.rfind(" ** Error Stop ** ", 0) != 0) fail("no stop line at the end of the console");
        if (stop != e.stop_line) fail("stop line \"" + stop + "\", expected \"" + e.stop_line + "\"");
        if (e.n < 1 && file != before) fail("the file under the output file's name changed after N < 1");
        if (e.n >= 1 && file != header("** ", e)) fail("the output file does not hold the header before N > ND");
    }

    check_read_int(input, tokens, problems);

    out_file_discard();
    if (!problems.empty()) {
        problems = "status " + std::to_string(status) + ", " + params_text(p) + "\nconsole:\n" + console + "\n" + problems;
    }
    return problems;
}

}  // namespace dialogue_check
