// Field access on TAB-separated lines without copying: every single TAB splits,
// empty fields are kept.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace callfold {

// All fields of `line`.
std::vector<std::string_view> split_fields(std::string_view line, char separator = '\t');

// Field `index` of `line`, or false when the line has fewer fields.
bool field_at(std::string_view line, std::size_t index, std::string_view& field, char separator = '\t');

// Number of fields of `line` (one more than its separators).
std::size_t count_fields(std::string_view line, char separator = '\t');

// `line` without every trailing "\n".
std::string_view strip_trailing_newlines(std::string_view line);

}  // namespace callfold
