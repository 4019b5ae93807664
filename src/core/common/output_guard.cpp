#include "common/output_guard.hpp"

#include <utility>

#include "common/errors.hpp"
#include "common/file_status.hpp"

namespace callfold {
namespace {

// When an output path counts as naming an input.
enum class PathIdentity {
    existing_file,  // both exist and are one file (same device and inode)
    file_or_path,   // one existing file, or else the same normalised absolute path
};

bool names_input(const std::string& output, const std::string& input, PathIdentity identity) {
    return identity == PathIdentity::existing_file ? same_existing_file(output, input) : same_file(output, input);
}

}  // namespace

void refuse_unified_output_over_inputs(const std::string& output_path, const std::vector<KeyedInput>& inputs) {
    using Output = OutputOverInput::Output;
    const std::string compressed = output_path + ".gz";
    for (const KeyedInput& input : inputs) {
        for (const auto& [output, kind] : {std::pair{&output_path, Output::unified}, {&compressed, Output::unified_compressed}})
            if (names_input(*output, input.path, PathIdentity::existing_file))
                throw OutputOverInput(kind, *output, std::string(input.key), input.path);
    }
}

void refuse_filtered_output_over_inputs(const std::string& repeat_path, const std::string& bed_path,
                                        const std::string& output_path) {
    for (const auto& [input, key] : {std::pair{&repeat_path, "repeats"}, {&bed_path, "catalog"}})
        if (names_input(output_path, *input, PathIdentity::file_or_path))
            throw OutputOverInput(OutputOverInput::Output::filtered, output_path, key, *input);
}

}  // namespace callfold
