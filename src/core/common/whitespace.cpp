#include "common/whitespace.hpp"

namespace callfold {
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

}  // namespace callfold
