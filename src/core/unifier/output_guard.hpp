// The unified file is truncated when it is opened and later replaced by its
// compressed form: neither name may be one of the job's own inputs.
#pragma once

#include <string>

#include "unifier/input_reading.hpp"

namespace callfold::unifier {

// The name the sorting step gives the compressed result.
std::string compressed_path_for(const std::string& output_path);

// Throws ValueError when `output_path`, or its compressed name, is the same file
// as an input that exists (same path, "..", symbolic or hard link).
void refuse_unified_output_over_inputs(const std::string& output_path, const InputPaths& inputs);

}  // namespace callfold::unifier
