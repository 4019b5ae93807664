// Reading the header's own lines: the contigs it declares and whether it
// states the format (structured lines are read by common/structured_line).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/vcf_text.hpp"

namespace callfold::compression {

// IDs of the header's ##contig lines, in header order.
std::vector<std::string> declared_contigs(const std::vector<std::string>& header);

// True when some header line is a ##fileformat line.
bool has_fileformat(const std::vector<std::string>& header);

}  // namespace callfold::compression
