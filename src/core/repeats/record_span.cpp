#include "repeats/record_span.hpp"

#include <cstring>

#include "common/int_text.hpp"
#include "common/utf8.hpp"

namespace callfold::repeats {
namespace {

constexpr std::string_view end_key = "END=";

// Position of the next `separator` at or after `from`, or `text.size()`.
std::size_t find_from(std::string_view text, std::size_t from, char separator) {
    if (from >= text.size()) return text.size();
    const void* found = std::memchr(text.data() + from, separator, text.size() - from);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : text.size();
}

std::size_t character_count(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return utf8_length(text);
    return text.size();
}

}  // namespace

std::optional<std::int64_t> info_end(std::string_view info) {
    std::size_t entry_start = 0;
    for (;;) {
        const std::size_t entry_end = find_from(info, entry_start, ';');
        const std::string_view entry = info.substr(entry_start, entry_end - entry_start);
        if (entry.starts_with(end_key)) {
            const IntText parsed = parse_int_text(entry.substr(end_key.size()));
            if (!parsed.ok()) return std::nullopt;
            return parsed.value;
        }
        if (entry_end >= info.size()) return std::nullopt;
        entry_start = entry_end + 1;
    }
}

std::optional<RecordSpan> record_span(std::string_view line) {
    while (!line.empty() && line.back() == '\n') line.remove_suffix(1);

    // Columns 0 (CHROM), 1 (POS), 3 (REF) and 7 (INFO); 8 columns at least.
    std::string_view column[8];
    std::size_t start = 0;
    for (std::size_t index = 0; index < 8; ++index) {
        if (start > line.size()) return std::nullopt;
        const std::size_t stop = find_from(line, start, '\t');
        column[index] = line.substr(start, stop - start);
        start = stop + 1;  // one past the end of the line when this was the last column
    }

    const IntText position = parse_int_text(column[1]);
    if (!position.ok()) return std::nullopt;
    // POS - 1 cannot overflow except for the smallest 64-bit value, which no
    // real record carries; treat it as unparsable rather than wrap.
    if (position.value == INT64_MIN) return std::nullopt;
    const std::int64_t span_start = position.value - 1;

    std::int64_t span_end;
    if (const auto end = info_end(column[7])) {
        span_end = *end;
    } else {
        const auto length = static_cast<std::int64_t>(character_count(column[3]));
        const std::int64_t width = length > 1 ? length : 1;
        if (span_start > INT64_MAX - width) return std::nullopt;
        span_end = span_start + width;
    }
    return RecordSpan{column[0], span_start, span_end};
}

}  // namespace callfold::repeats
