// Reading the documentation in the source tree, for the tests that hold it to
// the program: README.md (Markdown) and docs/drmpi.1 (roff).
#pragma once
#include <string>
#include <vector>

// The path of a file of the source tree, from its path from the top.
std::string source_path(const std::string& relative_path);

// The whole content of a file of the source tree, by its path from the top
// ("README.md", "docs/drmpi.1"); empty when it cannot be read.
std::string read_source_file(const std::string& relative_path);

// The lines of a text, without their line ends.
std::vector<std::string> split_lines(const std::string& text);

// The lines inside the first fenced block (```) after the line that starts
// with heading; empty when there is none.
std::vector<std::string> readme_block_after(const std::string& readme, const std::string& heading);

// The rows of the first Markdown table after the line that starts with
// heading, header and separator left out, each cut into its trimmed cells.
std::vector<std::vector<std::string>> readme_table_after(const std::string& readme, const std::string& heading);

// The lines of the man page's section ".SH <name>" up to the next .SH.
std::vector<std::string> man_section(const std::string& page, const std::string& name);

// Each run of lines between .nf and the following .fi in a section, in order,
// as text (roff escapes resolved); .RS and .RE inside are left out.
std::vector<std::vector<std::string>> man_unfilled_blocks(const std::vector<std::string>& section);

// A roff line as the reader sees its text: a leading request such as ".B " is
// dropped, and the escapes \e, \-, \& and \(aq are resolved.
std::string roff_text(const std::string& line);
