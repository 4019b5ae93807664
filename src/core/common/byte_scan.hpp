// Finding the positions of one byte in a text a block at a time: 64 and then 16
// bytes per step, compared with SSE2 where the target has it and else eight
// bytes to a word. The per-record scans of columns and INFO entries run here.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace callfold {
namespace byte_scan_detail {

// Bit i set where block[i] == byte, over the 16 * Lanes bytes at `block`
// (Lanes <= 4), eight bytes to a word: the portable way.
template <int Lanes>
inline std::uint64_t word_equal_mask(const char* block, char byte) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7full;
    std::uint64_t mask = 0;
    for (int i = 0; i < 2 * Lanes; ++i) {
        std::uint64_t word;
        std::memcpy(&word, block + 8 * i, 8);
        if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
        const std::uint64_t x = word ^ (ones * static_cast<unsigned char>(byte));
        // High bit set exactly in the bytes of `x` that are zero (no carries between bytes)...
        const std::uint64_t zero = ~(((x & low7) + low7) | x | low7);
        // ...moved to one bit per byte: byte k to bit k.
        mask |= (((zero >> 7) * 0x0102040810204080ull) >> 56) << (8 * i);
    }
    return mask;
}

#if defined(__SSE2__)
template <int Lanes>
inline std::uint64_t sse2_equal_mask(const char* block, char byte) {
    const __m128i wanted = _mm_set1_epi8(byte);
    std::uint64_t mask = 0;
    for (int i = 0; i < Lanes; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block) + i);
        mask |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)))} << (16 * i);
    }
    return mask;
}
#endif

template <int Lanes>
inline std::uint64_t equal_mask(const char* block, char byte) {
#if defined(__SSE2__)
    return sse2_equal_mask<Lanes>(block, byte);
#else
    return word_equal_mask<Lanes>(block, byte);
#endif
}

// Steps through the whole blocks of 16 * Lanes bytes from `pos` on; true when
// the scan ended in them, `pos` then being where (see scan_bytes).
template <int Lanes, bool Until, class Found>
bool scan_blocks(const char* data, std::size_t size, std::size_t& pos, char byte, char until, Found& found) {
    constexpr std::size_t width = 16 * Lanes;
    for (; pos + width <= size; pos += width) {
        std::uint64_t mask = equal_mask<Lanes>(data + pos, byte);
        std::uint64_t until_mask = 0;
        if constexpr (Until) {
            until_mask = equal_mask<Lanes>(data + pos, until);
            if (until_mask != 0) mask &= (until_mask & (0 - until_mask)) - 1;  // matches before it only
        }
        for (; mask != 0; mask &= mask - 1) {
            const std::size_t at = pos + static_cast<std::size_t>(std::countr_zero(mask));
            if (!found(at)) {
                pos = at;
                return true;
            }
        }
        if (until_mask != 0) {
            pos += static_cast<std::size_t>(std::countr_zero(until_mask));
            return true;
        }
    }
    return false;
}

template <bool Until, class Found>
std::size_t scan_bytes(std::string_view text, char byte, char until, Found& found) {
    const char* data = text.data();
    const std::size_t size = text.size();
    std::size_t pos = 0;
    if (scan_blocks<4, Until>(data, size, pos, byte, until, found)) return pos;
    if (scan_blocks<1, Until>(data, size, pos, byte, until, found)) return pos;
    for (; pos < size; ++pos) {
        if (Until && data[pos] == until) return pos;
        if (data[pos] == byte && !found(pos)) return pos;
    }
    return size;
}

}  // namespace byte_scan_detail

// Calls found(position) for each `byte` of `text` in order, for as long as it
// returns true. Returns the position of the match it refused, or text.size().
template <class Found>
std::size_t for_each_byte(std::string_view text, char byte, Found&& found) {
    return byte_scan_detail::scan_bytes<false>(text, byte, byte, found);
}

// The same over the part of `text` before its first `until` byte, which is
// never `byte`. Returns the position of the match found() refused, of that
// `until` byte, or text.size(); the byte there tells which.
template <class Found>
std::size_t for_each_byte_until(std::string_view text, char byte, char until, Found&& found) {
    return byte_scan_detail::scan_bytes<true>(text, byte, until, found);
}

}  // namespace callfold
