#include "repeats/output_guard.hpp"

#include <vector>

#include "common/output_guard.hpp"

namespace callfold::repeats {

void refuse_filtered_output_over_inputs(const std::string& repeat_path, const std::string& bed_path,
                                        const std::string& output_path) {
    static constexpr const char* input_names[] = {"the repeat VCF", "the catalog BED"};
    const std::vector<std::string> inputs{repeat_path, bed_path};
    refuse_output_over_inputs({output_path}, inputs, PathIdentity::file_or_path, [&](std::size_t, std::size_t input) {
        return "output path '" + output_path + "' names " + input_names[input] + " '" + inputs[input] +
               "'; writing it would destroy the input";
    });
}

}  // namespace callfold::repeats
