// Refusing an output path that would truncate or replace one of the inputs the
// output is computed from. Each caller states when two paths name one file and
// words the refusal itself.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace callfold {

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
                               PathIdentity identity, const OutputClashMessage& message);

}  // namespace callfold
