#include "repeats/record_span.hpp"

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
    // The first entry that starts with "END=" is the first occurrence of
    // "END=" at the start of INFO or right after a ";".
    std::size_t at = info.find(end_key);
    while (at != std::string_view::npos && at > 0 && info[at - 1] != ';') at = info.find(end_key, at + 1);
    if (at == std::string_view::npos) return std::nullopt;
    const std::size_t value_start = at + end_key.size();
    const std::size_t value_end = find_from(info, value_start, ';');
    const IntText parsed = parse_integer(info.substr(value_start, value_end - value_start));
    if (!parsed.ok()) return std::nullopt;
    return parsed.value;
}

std::optional<RecordSpan> record_span(std::string_view line) {
    while (!line.empty() && line.back() == '\n') line.remove_suffix(1);

    // Columns 0 (CHROM), 1 (POS), 3 (REF) and 7 (INFO); 8 columns at least.
    std::size_t tab[8];
    const std::size_t found = find_tabs(line, tab);
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

}  // namespace callfold::repeats
