// What the records of a VCF use that its header does not declare: contigs,
// INFO and FORMAT keys, FILTER values and symbolic ALT alleles. Each is turned
// into a declaration line so that strict readers accept the file. Well-known
// keys get their standard definition when the values fit it; any other key gets
// a Number and Type that every one of its values satisfies.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "compression/vcf_sorting.hpp"

namespace callfold::compression {

// The ID of a structured header line `<prefix><...ID=value...>` (prefix such as
// "##INFO=<"); false when the line is not of that kind or names no ID.
bool structured_id(std::string_view line, std::string_view prefix, std::string& id);

// IDs of the header's ##contig lines, in header order.
std::vector<std::string> declared_contigs(const std::vector<std::string>& header);

// True when some header line is a ##fileformat line.
bool has_fileformat(const std::vector<std::string>& header);

// Declaration lines (each ending in "\n") for everything `records` use that
// `header` does not declare, in this order: ##contig (in the order the contigs
// are ranked), ##INFO, ##FORMAT, ##FILTER, ##ALT, each kind in order of first
// use. IDs that cannot be written inside a declaration (empty, or holding
// whitespace or one of , < > " =) are not declared.
std::vector<std::string> missing_declarations(const std::vector<std::string>& header, const VcfRecords& records);

}  // namespace callfold::compression
