#include "common/utf8.hpp"

#include <cstdint>
#include <cstring>

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

}  // namespace callfold
