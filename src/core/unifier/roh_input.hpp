// ROH input arrives either as a header-less BED of intervals, to be converted
// record by record, or as a VCF that is copied. The shape is read off the lines
// unless the caller declares it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace callfold::unifier {

// `declared` "bed" or "vcf" decides at once; anything else (or nothing) detects:
// a BED unless some line holds the full VCF column header.
bool roh_lines_are_bed(const std::vector<std::string_view>& lines, const std::string_view* declared);

// Comment ("#" first) and blank lines of a BED, which are not converted.
bool roh_bed_line_is_skipped(std::string_view line);

// One BED interval (chrom, start, end, score; 0-based half-open) as an <ROH>
// VCF record ending in "\n". Throws MissingField for fewer than four fields,
// InvalidInteger for bounds that are not integer text, OverflowError beyond 64 bits.
std::string roh_bed_line_to_vcf(std::string_view bed_line);

}  // namespace callfold::unifier
