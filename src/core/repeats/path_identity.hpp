// Whether two paths name the same file, so that an output path can never
// truncate one of the inputs it is computed from.
#pragma once

#include <string>

namespace callfold::repeats {

// The host's absolute, normalised form of `path` (relative to the working
// directory; ".", ".." and repeated separators resolved lexically).
std::string normalized_absolute_path(const std::string& path);

// Files that both exist are the same when they have the same device and inode
// (so symbolic and hard links are seen through); otherwise the normalised
// absolute paths are compared.
bool same_file(const std::string& first, const std::string& second);

// Throws ValueError when `output_path` names the repeat VCF or the catalog.
void refuse_output_over_inputs(const std::string& repeat_path, const std::string& bed_path,
                               const std::string& output_path);

}  // namespace callfold::repeats
