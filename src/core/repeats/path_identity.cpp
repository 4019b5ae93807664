#include "repeats/path_identity.hpp"

#include "common/errors.hpp"
#include "common/same_file.hpp"

namespace callfold::repeats {
namespace {

std::string quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

void refuse_output_over_inputs(const std::string& repeat_path, const std::string& bed_path,
                               const std::string& output_path) {
    if (same_file(output_path, repeat_path))
        throw ValueError("output path " + quoted(output_path) + " names the repeat VCF " + quoted(repeat_path) +
                         "; writing it would destroy the input");
    if (same_file(output_path, bed_path))
        throw ValueError("output path " + quoted(output_path) + " names the catalog BED " + quoted(bed_path) +
                         "; writing it would destroy the input");
}

}  // namespace callfold::repeats
