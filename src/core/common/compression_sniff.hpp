// Whether a file is gzip-compressed, told by its first two bytes, whatever its name.
#pragma once

#include <string>

#include "common/line_stream.hpp"

namespace callfold {

// Reads at most the first two bytes of `path` and closes it again; gzip when
// they are 0x1F 0x8B. Throws OsError when the file cannot be opened or read
// (a directory included).
Compression sniff_compression(const std::string& path);

}  // namespace callfold
