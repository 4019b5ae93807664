// The unification job from paths to the written unified file, without the
// host: read every present input, check the output name, write the file.
#pragma once

#include <string>
#include <vector>

#include "common/log_sink.hpp"
#include "unifier/input_reading.hpp"
#include "unifier/unified_writer.hpp"

namespace callfold::unifier {

// True when the unified file was written at `output_path`; false when nothing
// could donate a header (the empty file is left, as unify_lines leaves it).
bool unify_files(const InputPaths& paths, const std::string& output_path,
                 const std::vector<std::string>& drop_sv_filters, const RecordOptions& options, const LogSink& log);

}  // namespace callfold::unifier
