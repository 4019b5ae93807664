// What every reader and writer of VCF text agrees on: where a line ends, which
// line is the column header, and how a structured header line
// (`##<kind>=<key=value,...>`) reads.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace callfold {

// ---- Lines ----------------------------------------------------------------

// Length of the first line of `text` with its "\n" (all of it without one).
inline std::size_t first_line_length(std::string_view text) {
    const void* newline = std::memchr(text.data(), '\n', text.size());
    return newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - text.data()) + 1 : text.size();
}

// Calls each(line) for every line of `text`, each with its "\n" (the last may lack it).
template <class Each>
void for_each_line(std::string_view text, Each&& each) {
    while (!text.empty()) {
        const std::size_t length = first_line_length(text);
        each(text.substr(0, length));
        text.remove_prefix(length);
    }
}

// The lines of `text` as for_each_line gives them.
std::vector<std::string_view> split_lines(std::string_view text);

// What counts as a line's terminator: "\n" only (what a line reader leaves), or
// "\r" as well (text that may come from a caller with Windows line ends).
enum class LineEnd { newline, newline_or_return };

// `line` without every trailing terminator byte of `kind`.
std::string_view without_line_end(std::string_view line, LineEnd kind = LineEnd::newline);

// ---- Columns ----------------------------------------------------------

// The fixed columns of a record line, counted from 0; samples follow FORMAT.
inline constexpr std::size_t pos_column = 1;
inline constexpr std::size_t ref_column = 3;
inline constexpr std::size_t alt_column = 4;
inline constexpr std::size_t filter_column = 6;
inline constexpr std::size_t info_column = 7;
inline constexpr std::size_t format_column = 8;
inline constexpr std::size_t first_sample_column = 9;

// ---- The column header ----------------------------------------------------

inline constexpr std::string_view column_header_start = "#CHROM";
// The nine fixed column names up to FORMAT.
inline constexpr std::string_view sample_column_header = "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";

// Three readings, each kept where it has always been used:
// the line starts with "#CHROM" (the sorter's reading of a header it wrote);
inline bool starts_column_header(std::string_view line) { return line.starts_with(column_header_start); }
// "#CHROM" appears anywhere in the line (where a unified file's header ends);
inline bool mentions_column_header(std::string_view line) {
    return line.find(column_header_start) != std::string_view::npos;
}
// the nine fixed columns up to FORMAT appear in the line, so a column header
// with sample columns holds them and a sites-only one does not.
inline bool holds_sample_column_header(std::string_view line) {
    return line.find(sample_column_header) != std::string_view::npos;
}

// ---- Structured header lines ----------------------------------------------
// Pairs separated by commas, a value either bare or quoted (a backslash keeps
// the next character, so \" does not end it).

struct StructuredField {
    std::string_view key;
    std::string value;      // without its quotes and escapes
    std::string_view text;  // the pair as written, `key=value` or a lone key
};

// The pairs of a line that starts with `prefix` (such as "##INFO=<"), in line
// order; the closing ">" and the line terminator are not part of the last one.
class StructuredFields {
public:
    StructuredFields(std::string_view line, std::string_view prefix);

    // False when the line does not start with the prefix; it then has no pairs.
    bool of_kind() const { return of_kind_; }

    // The next pair into `field`; false when there is none left.
    bool next(StructuredField& field);

private:
    std::string_view body_;
    std::size_t position_ = 0;
    bool of_kind_ = false;
};

// The value of the first pair named `key` of a structured line
// `<prefix><...key=value...>`; false when the line is not of that kind or has
// no such pair.
bool structured_value(std::string_view line, std::string_view prefix, std::string_view key, std::string& value);

// The ID of a structured line; see structured_value.
inline bool structured_id(std::string_view line, std::string_view prefix, std::string& id) {
    return structured_value(line, prefix, "ID", id);
}

}  // namespace callfold
