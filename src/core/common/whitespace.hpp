// Unicode whitespace over UTF-8 text, the set a text strip removes:
// \t \n \v \f \r, \x1c-\x1f, space, U+0085, U+00A0, U+1680, U+2000-U+200A,
// U+2028, U+2029, U+202F, U+205F and U+3000.
#pragma once

#include <cstddef>
#include <string_view>

namespace callfold {

// Length in bytes of the whitespace character starting at text[pos], or 0.
std::size_t whitespace_at(std::string_view text, std::size_t pos);
// Length in bytes of the whitespace character ending just before text[end], or 0.
std::size_t whitespace_before(std::string_view text, std::size_t end);

std::string_view lstrip_whitespace(std::string_view text);
std::string_view rstrip_whitespace(std::string_view text);
std::string_view strip_whitespace(std::string_view text);

}  // namespace callfold
