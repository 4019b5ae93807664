// The rules applied to single records of the inputs: which CNV records are
// called, which SV records a FILTER token leaves out, and how a repeat record is
// marked.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/host_context.hpp"

namespace callfold::unifier {

// Throws MissingField for a record of fewer than ten fields or a first sample
// too short for its GT position, MissingKey when FORMAT has no "GT" key
// (records without "SVTYPE=" only). Blank lines are kept like the empty text.
bool is_valid_cnv_line(std::string_view line);

// Leaving out SV records whose FILTER carries one of the caller's tokens.

// Indices of the lines that stay, in order. Header lines and lines without a
// FILTER field always stay. Logs one info message when records were dropped.
std::vector<std::size_t> kept_sv_lines(const std::vector<std::string_view>& lines,
                                       const std::vector<std::string>& filter_tokens);

// Repeat records need an "SVTYPE=" before they are read as repeat effects:
// ";SVTYPE=REP" is appended to the INFO of records that carry none (decided per
// record), or to every record, or to none, as the caller's mode says.

enum class RepeatMarking { detect, always, never };

// A record of at least ten fields whose INFO lacks "SVTYPE=".
bool repeat_line_needs_svtype(std::string_view line);

// The line with ";SVTYPE=REP" appended to INFO. The line must have at least ten
// fields, one sample column or several (WrongFieldCount otherwise); every other byte is kept.
std::string modify_repeat_line(std::string_view line);

// The rewritten line, or nothing when the line is to be written unchanged.
std::optional<std::string> marked_repeat_line(std::string_view line, RepeatMarking marking);

}  // namespace callfold::unifier
