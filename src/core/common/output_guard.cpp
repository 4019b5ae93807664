#include "common/output_guard.hpp"

#include "common/errors.hpp"
#include "common/file_status.hpp"

namespace callfold {

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

}  // namespace callfold
