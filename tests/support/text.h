// Reading the program's text in the tests: its lines, a line by its start,
// and the test names made from answers.
#pragma once

#include <sstream>
#include <string>
#include <vector>

// The lines of s, without their line ends.
inline std::vector<std::string> split_lines(const std::string& s)
{
    std::vector<std::string> lines;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The last line of the console, "" when it has none.
inline std::string last_line(const std::string& console)
{
    const std::vector<std::string> lines = split_lines(console);
    return lines.empty() ? "" : lines.back();
}

// The first line of text that begins with start (from start to its line end),
// "" when there is none.
inline std::string find_line(const std::string& text, const std::string& start)
{
    const size_t at = text.find(start);
    if (at == std::string::npos) return "";
    const size_t end = text.find('\n', at);
    return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// Answers as one line of text, for test names.
inline std::string escaped(const std::string& s)
{
    std::string t;
    for (char ch : s) t += ch == '\n' ? "\\n" : ch == '\t' ? "\\t" : ch == '\r' ? "\\r" : std::string(1, ch);
    return t;
}

inline bool ends_with(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The digits of base b in a word: the largest d with b^d <= 10^5.7.
inline int digits_per_word(int b)
{
    int d = 0;
    long r = 1;
    while (r * b <= 501187) {   // 10^5.7
        r *= b;
        ++d;
    }
    return d;
}
