#include "common/text_rules.hpp"

#include <cstdint>
#include <cstring>
#include <limits>


namespace callfold {

Utf8Check check_utf8(std::string_view bytes, bool final) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t pos = 0;
    while (pos < size) {
        // Fast path over runs of ASCII, eight bytes at a time.
        while (pos + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, data + pos, 8);
            if (word & 0x8080808080808080ull) break;
            pos += 8;
        }
        if (pos >= size) break;
        const unsigned char lead = data[pos];
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xbf;  // allowed range of the second byte
        if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            if (lead == 0xe0) low = 0xa0;
            if (lead == 0xed) high = 0x9f;  // no surrogates
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            if (lead == 0xf0) low = 0x90;
            if (lead == 0xf4) high = 0x8f;
        } else {
            return {pos, Utf8Problem::invalid_start_byte, pos + 1};
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (pos + k >= size) {
                if (!final) return {pos, Utf8Problem::none, pos};
                return {pos, Utf8Problem::unexpected_end, size};
            }
            const unsigned char b = data[pos + k];
            const bool in_range = k == 1 ? (b >= low && b <= high) : (b >= 0x80 && b <= 0xbf);
            if (!in_range) return {pos, Utf8Problem::invalid_continuation_byte, pos + k};
        }
        pos += length;
    }
    return {size, Utf8Problem::none, size};
}

std::size_t utf8_length(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xc0) != 0x80) ++count;
    return count;
}

namespace {

bool is_space_code_point(char32_t c) {
    if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0d) || (c >= 0x1c && c <= 0x1f);
    switch (c) {
        case 0x85: case 0xa0: case 0x1680: case 0x2028: case 0x2029:
        case 0x202f: case 0x205f: case 0x3000:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200a;
    }
}

// Decodes the (assumed valid) UTF-8 sequence at pos; returns its length or 0.
std::size_t decode_at(std::string_view text, std::size_t pos, char32_t& out) {
    const auto b0 = static_cast<unsigned char>(text[pos]);
    std::size_t length = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xe ? 3 : (b0 >> 3) == 0x1e ? 4 : 0;
    if (length == 0 || pos + length > text.size()) return 0;
    char32_t c = length == 1 ? b0 : length == 2 ? (b0 & 0x1f) : length == 3 ? (b0 & 0x0f) : (b0 & 0x07);
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[pos + k]);
        if ((b & 0xc0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3f);
    }
    out = c;
    return length;
}

}  // namespace

std::size_t whitespace_at(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    char32_t c = 0;
    const std::size_t length = decode_at(text, pos, c);
    return (length != 0 && is_space_code_point(c)) ? length : 0;
}

std::size_t whitespace_before(std::string_view text, std::size_t end) {
    if (end == 0) return 0;
    // Walk back over continuation bytes to the lead byte (at most 3 of them).
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xc0) == 0x80) --start;
    char32_t c = 0;
    const std::size_t length = decode_at(text, start, c);
    return (length == end - start && is_space_code_point(c)) ? length : 0;
}

std::string_view lstrip_whitespace(std::string_view text) {
    std::size_t pos = 0;
    while (std::size_t n = whitespace_at(text, pos)) pos += n;
    return text.substr(pos);
}

std::string_view rstrip_whitespace(std::string_view text) {
    std::size_t end = text.size();
    while (std::size_t n = whitespace_before(text, end)) end -= n;
    return text.substr(0, end);
}

std::string_view strip_whitespace(std::string_view text) { return rstrip_whitespace(lstrip_whitespace(text)); }

IntText parse_int_text(std::string_view text) {
    // Plain runs of ASCII digits, by far the most common form, are read without
    // the whitespace, sign and underscore handling; 18 digits cannot overflow.
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
    const std::string_view body = strip_whitespace(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        negative = body[i] == '-';
        ++i;
    }
    if (i == body.size()) return {IntText::Status::invalid, 0};

    // Accumulate the magnitude as unsigned so that INT64_MIN is representable.
    constexpr std::uint64_t limit_positive = std::numeric_limits<std::int64_t>::max();
    const std::uint64_t limit = negative ? limit_positive + 1 : limit_positive;
    std::uint64_t magnitude = 0;
    bool overflow = false;
    bool previous_was_digit = false;
    for (; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '_') {
            // A single underscore, only between two digits.
            if (!previous_was_digit || i + 1 == body.size() || body[i + 1] < '0' || body[i + 1] > '9')
                return {IntText::Status::invalid, 0};
            previous_was_digit = false;
            continue;
        }
        if (c < '0' || c > '9') return {IntText::Status::invalid, 0};
        previous_was_digit = true;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (!overflow && (magnitude > (limit - digit) / 10)) overflow = true;
        if (!overflow) magnitude = magnitude * 10 + digit;
    }
    if (overflow) return {IntText::Status::overflow, 0};
    if (negative) {
        const std::int64_t value = magnitude == limit_positive + 1
                                       ? std::numeric_limits<std::int64_t>::min()
                                       : -static_cast<std::int64_t>(magnitude);
        return {IntText::Status::ok, value};
    }
    return {IntText::Status::ok, static_cast<std::int64_t>(magnitude)};
}

}  // namespace callfold
