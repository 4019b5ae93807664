// The built-in catalog intersection: every record of the repeat VCF that shares
// a base with a catalog interval is written once, in input order, after the
// header lines, which are copied wherever they stand.
#pragma once

#include <cstdint>
#include <string>

#include "common/log_sink.hpp"
#include "repeats/chromosome_naming.hpp"

namespace callfold::repeats {

struct IntersectCounts {
    std::int64_t kept = 0;
    std::int64_t dropped = 0;  // records without a usable span or outside the catalog
    ChromosomeNaming naming;   // whether any record lay on a chromosome the catalog names
};

// Loads the catalog, opens the VCF, refuses an output path that names either
// input (ValueError), then streams the VCF into the output. Logs the two counts
// at info level once both files are closed. Throws OsError, DecodeError,
// GzipError and ValueError, errors of reading either file located at their
// line; a file written before an error stays.
IntersectCounts intersect_builtin(const std::string& repeat_path, const std::string& bed_path,
                                  const std::string& output_path, const LogSink& log);

}  // namespace callfold::repeats
