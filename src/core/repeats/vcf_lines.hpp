// How the repeat filter reads a VCF: a line whose first character is "#" is a
// header line wherever it stands, a blank line is skipped, and every other
// line is a record with its span (nothing when it has none).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/line_stream.hpp"
#include "common/vcf_text.hpp"
#include "common/whitespace.hpp"
#include "repeats/record_span.hpp"

namespace callfold::repeats {

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
template <class OnHeader, class OnRecord>
void for_each_vcf_line(LineStream& source, OnHeader&& on_header, OnRecord&& on_record) {
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

}  // namespace callfold::repeats
