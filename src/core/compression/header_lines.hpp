// Reading the header's own lines: the ID of a structured line such as
// ##INFO=<ID=...>, the contigs it declares, and whether it states the format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace callfold::compression {

// The ID of a structured header line `<prefix><...ID=value...>` (prefix such as
// "##INFO=<"); false when the line is not of that kind or names no ID.
bool structured_id(std::string_view line, std::string_view prefix, std::string& id);

// IDs of the header's ##contig lines, in header order.
std::vector<std::string> declared_contigs(const std::vector<std::string>& header);

// True when some header line is a ##fileformat line.
bool has_fileformat(const std::vector<std::string>& header);

}  // namespace callfold::compression
