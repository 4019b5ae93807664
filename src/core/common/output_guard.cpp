#include "common/output_guard.hpp"

#include <cstddef>
#include <functional>

#include "common/errors.hpp"
#include "common/file_status.hpp"

namespace callfold {
namespace {

// When an output path counts as naming an input.
enum class PathIdentity {
    existing_file,  // both exist and are one file (same device and inode)
    file_or_path,   // one existing file, or else the same normalised absolute path
};

// Receives the index of the output and of the input found to be one file, and
// gives the message of the refusal.
using OutputClashMessage = std::function<std::string(std::size_t output, std::size_t input)>;

// Throws ValueError with message(output, input) for the first input, in order,
// that any output names under `identity` (the outputs tried in order for each input).
void refuse_output_over_inputs(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                               PathIdentity identity, const OutputClashMessage& message) {
    for (std::size_t input = 0; input < inputs.size(); ++input) {
        for (std::size_t output = 0; output < outputs.size(); ++output) {
            const bool same = identity == PathIdentity::existing_file
                                  ? same_existing_file(outputs[output], inputs[input])
                                  : same_file(outputs[output], inputs[input]);
            if (same) throw ValueError(message(output, input));
        }
    }
}

}  // namespace

void refuse_unified_output_over_inputs(const std::string& output_path, const std::vector<KeyedInput>& inputs) {
    const std::vector<std::string> outputs{output_path, output_path + ".gz"};
    std::vector<std::string> paths;
    for (const KeyedInput& input : inputs) paths.push_back(input.path);
    refuse_output_over_inputs(outputs, paths, PathIdentity::existing_file, [&](std::size_t output, std::size_t input) {
        const std::string& path = paths[input];
        const std::string key(inputs[input].key);
        if (output == 0)
            return "output_path '" + output_path + "' is the " + key + " input '" + path +
                   "'; writing the unified file there would destroy it";
        return "the compressed output '" + outputs[1] + "' is the " + key + " input '" + path +
               "'; choose an output_path whose compressed name is not an input";
    });
}

void refuse_filtered_output_over_inputs(const std::string& repeat_path, const std::string& bed_path,
                                        const std::string& output_path) {
    static constexpr const char* input_names[] = {"the repeat VCF", "the catalog BED"};
    const std::vector<std::string> inputs{repeat_path, bed_path};
    refuse_output_over_inputs({output_path}, inputs, PathIdentity::file_or_path, [&](std::size_t, std::size_t input) {
        return "output path '" + output_path + "' names " + input_names[input] + " '" + inputs[input] +
               "'; writing it would destroy the input";
    });
}

}  // namespace callfold
