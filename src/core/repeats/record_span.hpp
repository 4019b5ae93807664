// The interval a VCF record line covers: [POS-1, END), END taken from INFO
// where it holds one, else from the length of REF.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

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

}  // namespace callfold::repeats
