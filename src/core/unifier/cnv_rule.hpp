// Whether a CNV line is worth carrying into the unified file: header lines and
// records with "SVTYPE=" always; other records unless their genotype is "./.".
#pragma once

#include <string_view>

namespace callfold::unifier {

// Throws MissingField for a record of fewer than ten fields or a first sample
// too short for its GT position, MissingKey when FORMAT has no "GT" key
// (records without "SVTYPE=" only). Blank lines are kept like the empty text.
bool is_valid_cnv_line(std::string_view line);

}  // namespace callfold::unifier
