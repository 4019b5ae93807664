// Repeat records need an "SVTYPE=" before they are read as repeat effects:
// ";SVTYPE=REP" is appended to the INFO of records that carry none (decided per
// record), or to every record, or to none, as the caller's mode says.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace callfold::unifier {

enum class RepeatMarking { detect, always, never };

// A record of at least ten fields whose INFO lacks "SVTYPE=".
bool repeat_line_needs_svtype(std::string_view line);

// The line with ";SVTYPE=REP" appended to INFO. The line must have at least ten
// fields, one sample column or several (UnpackError otherwise); every other byte is kept.
std::string modify_repeat_line(std::string_view line);

// The rewritten line, or nothing when the line is to be written unchanged.
std::optional<std::string> marked_repeat_line(std::string_view line, RepeatMarking marking);

}  // namespace callfold::unifier
