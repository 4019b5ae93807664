// Inputs of one unified file should come from one reference build: records of
// an appended input on chromosomes the donor never names ("1" against "chr1")
// mostly mean that the naming or the build differs.
#pragma once

#include <string_view>

#include "common/log_sink.hpp"
#include "unifier/unified_writer.hpp"

namespace callfold::unifier {

// The ID of a "##contig=<ID=...>" line; empty for any other line.
std::string_view contig_line_id(std::string_view line);

// Logs a warning for each appended input whose records name chromosomes, none
// of which the donor names in its records or its ##contig lines (when the donor
// names any at all).
void warn_on_unshared_chromosomes(const LinesByType& lines, const RecordOptions& options, const LogSink& log);

}  // namespace callfold::unifier
