#include "compression/vcf_index_span.hpp"

#include <limits>

#include "common/vcf_fields.hpp"

namespace callfold::compression {
namespace {

constexpr std::size_t pos_field = 1;
constexpr std::size_t ref_field = 3;
constexpr std::size_t info_field = 7;

bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// strtoll(text, nullptr, 0) over text that is not NUL-terminated.
std::int64_t c_strtoll(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '0') {
        // "0x" counts as a prefix only before a hexadecimal digit; otherwise the 0 is the number.
        if (i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') && digit_value(text[i + 2]) < 16) {
            base = 16;
            i += 2;
        } else {
            base = 8;
        }
    }
    // Magnitudes up to 2^63 are exact (the most negative value); beyond, the result saturates.
    constexpr std::uint64_t limit = std::uint64_t{1} << 63;
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const int digit = digit_value(text[i]);
        if (digit >= base) break;
        if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base))
            overflow = true;
        else
            magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    if (negative) {
        if (overflow || magnitude == limit) return std::numeric_limits<std::int64_t>::min();
        return -static_cast<std::int64_t>(magnitude);
    }
    if (overflow || magnitude == limit) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(magnitude);
}

// The text after the first END= entry of an INFO field, or nothing.
bool info_end_value(std::string_view info, std::string_view& value) {
    std::size_t at = 0;
    if (info.starts_with("END=")) {
        at = 4;
    } else {
        at = info.find(";END=");
        if (at == std::string_view::npos) return false;
        at += 5;
    }
    value = info.substr(at);
    return true;
}

}  // namespace

IndexSpan vcf_index_span(std::string_view record) {
    if (!record.empty() && record.back() == '\n') record.remove_suffix(1);
    const LineColumns<info_field + 1> column(record);
    IndexSpan span{0, 1};
    if (column.count() > pos_field) {
        const std::int64_t pos = c_strtoll(column[pos_field]);
        span = {pos < 1 ? 0 : pos - 1, pos < 1 ? 1 : pos};
    }
    if (column.count() > ref_field && !column[ref_field].empty()) {
        // Saturates rather than wraps: a span that far out is refused by the index anyway.
        const auto length = static_cast<std::int64_t>(column[ref_field].size());
        constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
        span.end = span.beg > most - length ? most : span.beg + length;
    }
    std::string_view value;
    if (column.count() > info_field && info_end_value(column[info_field], value) && !value.starts_with('.')) {
        const std::int64_t end = c_strtoll(value);
        if (end > span.beg) span.end = end;
    }
    return span;
}

}  // namespace callfold::compression
