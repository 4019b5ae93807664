// Paths reach the file system as C strings, so a NUL inside one would name a
// different file; such a path is refused before any system call.
#pragma once

#include <cstddef>
#include <string>

namespace callfold {

// Throws PathHasNul when `path` holds a NUL character.
void require_path_text(const std::string& path);

// Whether anything exists at `path` (symbolic links followed): false for a
// dangling link, for a path that cannot be examined and for a path with a NUL.
bool path_exists(const std::string& path);

// Whether `path` names a regular file (symbolic links followed): a file that can
// be read a second time, unlike a pipe or a device.
bool is_regular_file(const std::string& path);

// Size in bytes of the regular file at `path`; 0 when it is not one or cannot be examined.
std::size_t regular_file_size(const std::string& path);

}  // namespace callfold
