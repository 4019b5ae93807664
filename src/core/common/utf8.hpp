// Strict UTF-8 checking with the error positions and kinds of problem a strict
// decoder reports.
#pragma once

#include <cstddef>
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

}  // namespace callfold
