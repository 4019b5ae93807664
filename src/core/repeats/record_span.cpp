#include "repeats/record_span.hpp"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Integer text; plain runs of ASCII digits, by far the most common form, are
// read here without the general parser's whitespace and sign handling.
IntText parse_integer(std::string_view text) {
    if (!text.empty() && text.size() <= 18) {
        std::int64_t value = 0;
        bool digits = true;
        for (const char c : text) {
            if (c < '0' || c > '9') {
                digits = false;
                break;
            }
            value = value * 10 + (c - '0');
        }
        if (digits) return {IntText::Status::ok, value};
    }
    return parse_int_text(text);
}

// Positions of the first (up to) 8 TABs of `line`, found a word at a time;
// returns how many there are.
std::size_t find_tabs(std::string_view line, std::size_t (&tab)[8]) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7full;
    const char* data = line.data();
    const std::size_t size = line.size();
    std::size_t count = 0;
    std::size_t pos = 0;
#if defined(__SSE2__)
    const __m128i tabs = _mm_set1_epi8('\t');
    for (; pos + 16 <= size; pos += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tabs)));
        while (mask != 0) {
            tab[count++] = pos + static_cast<std::size_t>(__builtin_ctz(mask));
            if (count == 8) return count;
            mask &= mask - 1;
        }
    }
#endif
    for (; pos + 8 <= size; pos += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + pos, 8);
        const std::uint64_t x = word ^ (ones * '\t');
        // High bit set exactly in the bytes of `x` that are zero (no carries between bytes).
        std::uint64_t zero = ~(((x & low7) + low7) | x | low7);
        while (zero != 0) {
            tab[count++] = pos + static_cast<std::size_t>(__builtin_ctzll(zero)) / 8;
            if (count == 8) return count;
            zero &= zero - 1;
        }
    }
    for (; pos < size; ++pos) {
        if (data[pos] != '\t') continue;
        tab[count++] = pos;
        if (count == 8) return count;
    }
    return count;
}

std::size_t character_count(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return utf8_length(text);
    return text.size();
}

}  // namespace

std::optional<std::int64_t> info_end(std::string_view info) {
    // Entries start at the beginning of INFO and after each ";"; the first one
    // that starts with "END=" decides.
    const char* data = info.data();
    const std::size_t size = info.size();
    const auto value_at = [&](std::size_t entry) -> std::optional<std::int64_t> {
        const std::size_t value_start = entry + end_key.size();
        const std::size_t value_end = find_from(info, value_start, ';');
        const IntText parsed = parse_integer(info.substr(value_start, value_end - value_start));
        if (!parsed.ok()) return std::nullopt;
        return parsed.value;
    };
    const auto is_end_entry = [&](std::size_t entry) {
        return entry + end_key.size() <= size && std::memcmp(data + entry, end_key.data(), end_key.size()) == 0;
    };
    if (is_end_entry(0)) return value_at(0);
    std::size_t pos = 0;
#if defined(__SSE2__)
    const __m128i semicolons = _mm_set1_epi8(';');
    for (; pos + 16 <= size; pos += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, semicolons)));
        while (mask != 0) {
            const std::size_t entry = pos + static_cast<std::size_t>(__builtin_ctz(mask)) + 1;
            if (is_end_entry(entry)) return value_at(entry);
            mask &= mask - 1;
        }
    }
#endif
    for (; pos < size; ++pos)
        if (data[pos] == ';' && is_end_entry(pos + 1)) return value_at(pos + 1);
    return std::nullopt;
}

namespace {

// The span of a record line without its "\n", given the positions of its
// first `found` TABs (at most 8 are looked at).
std::optional<RecordSpan> span_from_tabs(std::string_view line, std::size_t (&tab)[8], std::size_t found) {
    // Columns 0 (CHROM), 1 (POS), 3 (REF) and 7 (INFO); 8 columns at least.
    if (found < 7) return std::nullopt;
    if (found == 7) tab[7] = line.size();
    const auto column = [&](std::size_t index) {
        const std::size_t begin = index == 0 ? 0 : tab[index - 1] + 1;
        return line.substr(begin, tab[index] - begin);
    };

    const IntText position = parse_integer(column(1));
    if (!position.ok()) return std::nullopt;
    // POS - 1 cannot overflow except for the smallest 64-bit value, which no
    // real record carries; treat it as unparsable rather than wrap.
    if (position.value == INT64_MIN) return std::nullopt;
    const std::int64_t span_start = position.value - 1;

    std::int64_t span_end;
    if (const auto end = info_end(column(7))) {
        span_end = *end;
    } else {
        const auto length = static_cast<std::int64_t>(character_count(column(3)));
        const std::int64_t width = length > 1 ? length : 1;
        if (span_start > INT64_MAX - width) return std::nullopt;
        span_end = span_start + width;
    }
    return RecordSpan{column(0), span_start, span_end};
}

}  // namespace

std::optional<RecordSpan> record_span(std::string_view line) {
    while (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    std::size_t tab[8];
    const std::size_t found = find_tabs(line, tab);
    return span_from_tabs(line, tab, found);
}

std::size_t scan_record_line(std::string_view text, std::optional<RecordSpan>& span) {
    const char* data = text.data();
    const std::size_t size = text.size();
    std::size_t tab[8];
    std::size_t count = 0;
    std::size_t pos = 0;
    std::size_t line_end = size;
#if defined(__SSE2__)
    // TABs and the line's end in one pass, 64 bytes at a time, until 8 TABs are known.
    const __m128i tabs = _mm_set1_epi8('\t');
    const __m128i newlines = _mm_set1_epi8('\n');
    const auto mask_of = [](const __m128i* block, __m128i wanted) {
        std::uint64_t mask = 0;
        for (int i = 0; i < 4; ++i)
            mask |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(block + i), wanted)))}
                    << (16 * i);
        return mask;
    };
    while (count < 8 && pos + 64 <= size) {
        const auto* block = reinterpret_cast<const __m128i*>(data + pos);
        std::uint64_t tab_mask = mask_of(block, tabs);
        const std::uint64_t newline_mask = mask_of(block, newlines);
        if (newline_mask != 0) {
            const auto first = static_cast<unsigned>(__builtin_ctzll(newline_mask));
            tab_mask &= (std::uint64_t{1} << first) - 1;
            line_end = pos + first;
        }
        while (tab_mask != 0 && count < 8) {
            tab[count++] = pos + static_cast<std::size_t>(__builtin_ctzll(tab_mask));
            tab_mask &= tab_mask - 1;
        }
        if (line_end != size) {
            span = span_from_tabs(text.substr(0, line_end), tab, count);
            return line_end + 1;
        }
        pos += 64;
    }
#endif
    for (; count < 8 && pos < size; ++pos) {
        if (data[pos] == '\n') {
            span = span_from_tabs(text.substr(0, pos), tab, count);
            return pos + 1;
        }
        if (data[pos] == '\t') tab[count++] = pos;
    }
    // 8 TABs known (or the text ended): the rest of the line is of no interest.
    const void* newline = pos < size ? std::memchr(data + pos, '\n', size - pos) : nullptr;
    line_end = newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - data) : size;
    span = span_from_tabs(text.substr(0, line_end), tab, count);
    return newline ? line_end + 1 : size;
}

}  // namespace callfold::repeats
