#include "repeats/record_span.hpp"

#include <cstdint>
#include <cstring>

#include "common/vcf_text.hpp"
#include "common/byte_scan.hpp"
#include "common/text_rules.hpp"
#include "common/tab_columns.hpp"

namespace callfold::repeats {
namespace {

constexpr std::string_view end_key = "END=";
// CHROM, POS, REF and INFO are read: the line must have 8 columns at least.
constexpr std::size_t span_columns = 8;
using SpanColumns = LineColumns<span_columns>;

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

std::optional<RecordSpan> span_of(const SpanColumns& column) {
    if (column.count() < span_columns) return std::nullopt;

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

}  // namespace

std::optional<std::int64_t> info_end(std::string_view info) {
    // Entries start at the beginning of INFO and after each ";"; the first one
    // that starts with "END=" decides.
    const auto is_end_entry = [&](std::size_t entry) {
        return entry + end_key.size() <= info.size() && std::memcmp(info.data() + entry, end_key.data(), end_key.size()) == 0;
    };
    std::size_t entry = 0;
    if (!is_end_entry(0)) {
        const std::size_t semicolon = for_each_byte(info, ';', [&](std::size_t at) { return !is_end_entry(at + 1); });
        if (semicolon == info.size()) return std::nullopt;
        entry = semicolon + 1;
    }
    const std::size_t value_start = entry + end_key.size();
    const std::size_t value_end = find_from(info, value_start, ';');
    const IntText parsed = parse_int_text(info.substr(value_start, value_end - value_start));
    if (!parsed.ok()) return std::nullopt;
    return parsed.value;
}

std::optional<RecordSpan> record_span(std::string_view line) {
    return span_of(SpanColumns(without_line_end(line)));
}

std::size_t scan_record_line(std::string_view text, std::optional<RecordSpan>& span) {
    std::size_t length;
    span = span_of(SpanColumns::first_line(text, length));
    return length;
}

bool record_position(std::string_view text, std::size_t& chromosome_end, std::int64_t& position) {
    // CHROM is short: a byte at a time beats setting up a scan.
    std::size_t at = 0;
    while (at < text.size() && text[at] != '\t') {
        if (text[at] == '\n') return false;
        ++at;
    }
    if (at == text.size()) return false;
    chromosome_end = at;
    const std::size_t begin = at + 1;
    std::size_t end = begin;
    while (end < text.size() && text[end] != '\t' && text[end] != '\n') ++end;
    const IntText parsed = parse_int_text(text.substr(begin, end - begin));
    if (!parsed.ok()) return false;
    position = parsed.value;
    return true;
}

}  // namespace callfold::repeats
