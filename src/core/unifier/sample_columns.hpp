// Appended records must carry the sample columns of the header they are written
// under, or VCF readers reject the file (or misread it without a word).
#pragma once

#include <string_view>
#include <vector>

#include "unifier/unified_writer.hpp"

namespace callfold::unifier {

// The names after FORMAT in a column header line; none for a sites-only header.
std::vector<std::string_view> sample_column_names(std::string_view column_header_line);

// Throws ValueError when an appended input that contributes records has other
// sample columns than the donor's column header: another count, or several
// columns whose names or order differ (one each agree whatever the names). A
// converted ROH BED record has one. Nothing to compare without a donor or
// without a donor column header.
void refuse_mismatched_sample_columns(const LinesByType& lines, const RecordOptions& options);

}  // namespace callfold::unifier
