// Refusing an output path that would truncate or replace one of the inputs the
// output is computed from, for each output the system writes over its inputs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace callfold {

// One input of a unified file: its type's key ("sv") and its path.
struct KeyedInput {
    std::string_view key;
    std::string path;
};

// The unified file is truncated when it is opened and later replaced by its
// compressed form (`output_path` + ".gz"): throws OutputOverInput when either name
// is the same file as an input that exists (same path, "..", symbolic or hard
// link). A missing input may share the name: only a file that exists can be
// destroyed.
void refuse_unified_output_over_inputs(const std::string& output_path, const std::vector<KeyedInput>& inputs);

// The filtered repeat VCF: throws OutputOverInput when `output_path` names the
// repeat VCF or the catalog: the same file, or (where either does not exist)
// the same normalised absolute path.
void refuse_filtered_output_over_inputs(const std::string& repeat_path, const std::string& bed_path,
                                        const std::string& output_path);

}  // namespace callfold
