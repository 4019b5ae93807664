// The one reading of a structured header line, `##<kind>=<key=value,...>`:
// pairs separated by commas, a value either bare or quoted (a backslash keeps
// the next character, so \" does not end it).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace callfold {

struct StructuredField {
    std::string_view key;
    std::string value;      // without its quotes and escapes
    std::string_view text;  // the pair as written, `key=value` or a lone key
};

// The pairs of a line that starts with `prefix` (such as "##INFO=<"), in line
// order; the closing ">" and the line terminator are not part of the last one.
class StructuredFields {
public:
    StructuredFields(std::string_view line, std::string_view prefix);

    // False when the line does not start with the prefix; it then has no pairs.
    bool of_kind() const { return of_kind_; }

    // The next pair into `field`; false when there is none left.
    bool next(StructuredField& field);

private:
    std::string_view body_;
    std::size_t position_ = 0;
    bool of_kind_ = false;
};

// The ID of a structured line `<prefix><...ID=value...>`; false when the line
// is not of that kind or names no ID.
bool structured_id(std::string_view line, std::string_view prefix, std::string& id);

}  // namespace callfold
