#include "support/docs.h"

#include <sstream>

#include "support/run_drmpi.h"

std::string source_path(const std::string& relative_path) { return std::string(DRMPI_SOURCE_DIR) + "/" + relative_path; }

std::string read_source_file(const std::string& relative_path) { return read_file(source_path(relative_path)); }

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

static bool starts_with(const std::string& s, const std::string& head) { return s.rfind(head, 0) == 0; }

std::vector<std::string> readme_block_after(const std::string& readme, const std::string& heading)
{
    std::vector<std::string> block;
    bool after_heading = false, inside = false;
    for (const std::string& line : split_lines(readme)) {
        if (!after_heading) {
            after_heading = starts_with(line, heading);
        } else if (starts_with(line, "```")) {
            if (inside) return block;
            inside = true;
        } else if (inside) {
            block.push_back(line);
        }
    }
    return {};   // no block, or one that is never closed
}

static std::string trimmed(const std::string& s)
{
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::vector<std::vector<std::string>> readme_table_after(const std::string& readme, const std::string& heading)
{
    std::vector<std::vector<std::string>> rows;
    bool after_heading = false;
    int table_line = 0;
    for (const std::string& line : split_lines(readme)) {
        if (!after_heading) {
            after_heading = starts_with(line, heading);
            continue;
        }
        if (!starts_with(line, "|")) {
            if (table_line > 0) break;   // the table has ended
            continue;
        }
        if (++table_line <= 2) continue;   // header and separator
        std::vector<std::string> cells;
        std::string cell;
        for (size_t i = 1; i < line.size(); ++i) {
            if (line[i] == '|') {
                cells.push_back(trimmed(cell));
                cell.clear();
            } else {
                cell += line[i];
            }
        }
        rows.push_back(cells);
    }
    return rows;
}

std::vector<std::string> man_section(const std::string& page, const std::string& name)
{
    std::vector<std::string> section;
    bool inside = false;
    for (const std::string& line : split_lines(page)) {
        if (starts_with(line, ".SH ")) {
            if (inside) break;
            std::string title = trimmed(line.substr(4));
            if (title.size() >= 2 && title.front() == '"' && title.back() == '"') title = title.substr(1, title.size() - 2);
            inside = title == name;
        } else if (inside) {
            section.push_back(line);
        }
    }
    return section;
}

std::string roff_text(const std::string& line)
{
    std::string s = line;
    if (starts_with(s, ".")) {
        const size_t space = s.find(' ');
        s = space == std::string::npos ? "" : s.substr(space + 1);
    }
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char next = s[++i];
        if (next == 'e' || next == '\\') {
            out += '\\';
        } else if (next == '-') {
            out += '-';
        } else if (next == '&') {
            // a zero-width character: nothing to show
        } else if (next == '(' && s.compare(i + 1, 2, "aq") == 0) {
            out += '\'';
            i += 2;
        } else {
            out += '\\';
            out += next;
        }
    }
    return out;
}

std::vector<std::vector<std::string>> man_unfilled_blocks(const std::vector<std::string>& section)
{
    std::vector<std::vector<std::string>> blocks;
    bool inside = false;
    for (const std::string& line : section) {
        if (line == ".nf") {
            inside = true;
            blocks.emplace_back();
        } else if (line == ".fi") {
            inside = false;
        } else if (inside && line != ".RS" && line != ".RE" && !starts_with(line, ".RS ")) {
            blocks.back().push_back(roff_text(line));
        }
    }
    if (inside) blocks.pop_back();   // never closed
    return blocks;
}
