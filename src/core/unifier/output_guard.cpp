#include "unifier/output_guard.hpp"

#include "common/errors.hpp"
#include "common/same_file.hpp"

namespace callfold::unifier {

std::string compressed_path_for(const std::string& output_path) { return output_path + ".gz"; }

void refuse_output_over_inputs(const std::string& output_path, const InputPaths& inputs) {
    const std::string compressed = compressed_path_for(output_path);
    for (std::size_t type = 0; type < file_type_count; ++type) {
        if (!inputs[type]) continue;
        const std::string& input = *inputs[type];
        const std::string key(file_type_keys[type]);
        if (same_existing_file(output_path, input))
            throw ValueError("output_path '" + output_path + "' is the " + key + " input '" + input +
                             "'; writing the unified file there would destroy it");
        if (same_existing_file(compressed, input))
            throw ValueError("the compressed output '" + compressed + "' is the " + key + " input '" + input +
                             "'; choose an output_path whose compressed name is not an input");
    }
}

}  // namespace callfold::unifier
