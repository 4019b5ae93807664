// Whitespace exactly as the host's str.strip() sees it, over UTF-8 text:
// \t \n \v \f \r, \x1c-\x1f, space, U+0085, U+00A0, U+1680, U+2000-U+200A,
// U+2028, U+2029, U+202F, U+205F and U+3000.
#pragma once

#include <cstddef>
#include <string_view>

namespace callfold {

// Length in bytes of the whitespace character starting at text[pos], or 0.
std::size_t py_space_at(std::string_view text, std::size_t pos);
// Length in bytes of the whitespace character ending just before text[end], or 0.
std::size_t py_space_before(std::string_view text, std::size_t end);

std::string_view py_lstrip(std::string_view text);
std::string_view py_rstrip(std::string_view text);
std::string_view py_strip(std::string_view text);

}  // namespace callfold
