// The interval a VCF record line covers: [POS-1, END), END taken from INFO
// where it holds one, else from the length of REF.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/line_stream.hpp"
#include "common/text_rules.hpp"
#include "common/vcf_text.hpp"

namespace callfold::repeats {

struct RecordSpan {
    std::string_view chromosome;  // CHROM verbatim, a view into the line
    std::int64_t start;           // POS - 1
    std::int64_t end;             // exclusive
};

// END of the first INFO entry that starts with "END=", parsed as integer text;
// nothing when there is no such entry or its value does not parse (a later
// END= entry is then not consulted).
std::optional<std::int64_t> info_end(std::string_view info);

// The span of one record line (trailing "\n" characters ignored), or nothing
// when the line has fewer than 8 TAB-separated columns or POS does not parse.
// Never throws and never allocates.
std::optional<RecordSpan> record_span(std::string_view line);

// For streaming: `text` starts with a record line and holds any number of
// lines after it. Sets `span` to record_span of that first line and returns
// its length with its "\n" (all of `text` when it has no "\n").
std::size_t scan_record_line(std::string_view text, std::optional<RecordSpan>& span);

// How the repeat filter reads a VCF: a line whose first character is "#" is a
// header line wherever it stands, a blank line is skipped, and every other
// line is a record with its span (nothing when it has none).

// A reader over the whole text of the repeat VCF at `path`: every gzip member in
// turn when the file starts with the gzip magic number (BGZF included), whatever
// its name, else the plain text.
inline std::unique_ptr<LineStream> open_vcf_text(const std::string& path) {
    return std::make_unique<LineStream>(path, Compression::detect);
}

// Calls on_header(line) for each header line and on_record(line, span) for
// each record, in file order, lines with their "\n". on_record returns false
// to stop early. Runs of lines are taken from the stream at once and records
// are scanned in place, so a line costs no copy. Read errors come located at
// their line of the repeat VCF.
//
// `skip(text)`, `text` starting with a record line and running on past it,
// may pass over the record unparsed: it returns the line's length with its
// "\n" (see record_line_length), or 0 to have it parsed and given to on_record.
template <class OnHeader, class Skip, class OnRecord>
void for_each_vcf_line(LineStream& source, OnHeader&& on_header, Skip&& skip, OnRecord&& on_record) {
    std::string_view lines;
    std::optional<RecordSpan> span;
    std::uint64_t lines_read = 0;
    for (;;) {
        if (!read_located(source, &LineStream::next_lines, lines, "repeat VCF", lines_read)) return;
        while (!lines.empty()) {
            ++lines_read;
            std::size_t length;
            const auto first = static_cast<unsigned char>(lines.front());
            if (first == '#') {
                length = first_line_length(lines);
                on_header(lines.substr(0, length));
                lines.remove_prefix(length);
                continue;
            }
            if (first > ' ' && first < 0x80) {
                length = skip(lines);
                if (length != 0) {
                    lines.remove_prefix(length);
                    continue;
                }
                length = scan_record_line(lines, span);  // the common case: no leading whitespace
            } else {
                length = first_line_length(lines);
                if (strip_whitespace(lines.substr(0, length)).empty()) {
                    lines.remove_prefix(length);
                    continue;
                }
                span = record_span(lines.substr(0, length));
            }
            if (!on_record(lines.substr(0, length), span)) return;
            lines.remove_prefix(length);
        }
    }
}

template <class OnHeader, class OnRecord>
void for_each_vcf_line(LineStream& source, OnHeader&& on_header, OnRecord&& on_record) {
    for_each_vcf_line(source, on_header, [](std::string_view) { return std::size_t{0}; }, on_record);
}

// Length of the first line of `text` with its "\n" (all of `text` when it has none).
inline std::size_t record_line_length(std::string_view text) {
    const void* newline = std::memchr(text.data(), '\n', text.size());
    return newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - text.data()) + 1 : text.size();
}

// CHROM and POS of the first line of `text` when both are there and POS is
// integer text; CHROM then ends at `chromosome_end`.
bool record_position(std::string_view text, std::size_t& chromosome_end, std::int64_t& position);

}  // namespace callfold::repeats
