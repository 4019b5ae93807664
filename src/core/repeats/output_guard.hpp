// The filtered output can never truncate one of the inputs it is computed from.
#pragma once

#include <string>

namespace callfold::repeats {

// Throws ValueError when `output_path` names the repeat VCF or the catalog: the
// same file, or (where either does not exist) the same normalised absolute path.
void refuse_filtered_output_over_inputs(const std::string& repeat_path, const std::string& bed_path,
                                        const std::string& output_path);

}  // namespace callfold::repeats
