// The text rules every reader shares: strict UTF-8, Unicode whitespace, and
// integer text (surrounding whitespace, one optional sign, ASCII decimal digits
// with single underscores between digits; values beyond 64 bits reported, never
// wrapped).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace callfold {

enum class Utf8Problem { none, invalid_start_byte, invalid_continuation_byte, unexpected_end };

struct Utf8Check {
    // Bytes [0, valid) are complete, valid UTF-8.
    std::size_t valid;
    // Set when an invalid sequence was found at `valid`; `error_end` ends the bad bytes.
    Utf8Problem problem;
    std::size_t error_end;
};

// Checks `bytes`. When `final` is false a sequence cut off by the end of the buffer
// is not an error: `valid` stops before it and the caller supplies more bytes.
Utf8Check check_utf8(std::string_view bytes, bool final);

// Number of code points in valid UTF-8 text.
std::size_t utf8_length(std::string_view text);

// Unicode whitespace over UTF-8 text, the set a text strip removes:
// \t \n \v \f \r, \x1c-\x1f, space, U+0085, U+00A0, U+1680, U+2000-U+200A,
// U+2028, U+2029, U+202F, U+205F and U+3000.

// Length in bytes of the whitespace character starting at text[pos], or 0.
std::size_t whitespace_at(std::string_view text, std::size_t pos);
// Length in bytes of the whitespace character ending just before text[end], or 0.
std::size_t whitespace_before(std::string_view text, std::size_t end);

std::string_view lstrip_whitespace(std::string_view text);
std::string_view rstrip_whitespace(std::string_view text);
std::string_view strip_whitespace(std::string_view text);

// Integer text as the whole system reads it: surrounding Unicode whitespace
// (common/whitespace.hpp), one optional sign, ASCII decimal digits with single
// underscores between digits. Values beyond 64 bits are reported, never wrapped.

struct IntText {
    enum class Status { ok, invalid, overflow };
    Status status;
    std::int64_t value;
    bool ok() const { return status == Status::ok; }
};

IntText parse_int_text(std::string_view text);

}  // namespace callfold
