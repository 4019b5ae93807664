#include "unifier/output_guard.hpp"

#include <vector>

#include "common/output_guard.hpp"

namespace callfold::unifier {

std::string compressed_path_for(const std::string& output_path) { return output_path + ".gz"; }

void refuse_unified_output_over_inputs(const std::string& output_path, const InputPaths& inputs) {
    const std::vector<std::string> outputs{output_path, compressed_path_for(output_path)};
    std::vector<std::string> present;
    std::vector<std::size_t> types;
    for (std::size_t type = 0; type < file_type_count; ++type) {
        if (!inputs[type]) continue;
        present.push_back(*inputs[type]);
        types.push_back(type);
    }
    // Only a file that exists can be destroyed; a missing input may share the name.
    refuse_output_over_inputs(outputs, present, PathIdentity::existing_file, [&](std::size_t output, std::size_t input) {
        const std::string& path = present[input];
        const std::string key(file_type_keys[types[input]]);
        if (output == 0)
            return "output_path '" + output_path + "' is the " + key + " input '" + path +
                   "'; writing the unified file there would destroy it";
        return "the compressed output '" + outputs[1] + "' is the " + key + " input '" + path +
               "'; choose an output_path whose compressed name is not an input";
    });
}

}  // namespace callfold::unifier
