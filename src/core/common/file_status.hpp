// What the file system says about a path, asked without opening it: whether it exists,
// whether it is a regular file and how large, whether two paths name one file. Paths reach
// the file system as C strings, so a NUL inside one would name a different file; such a
// path is refused before any system call.
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

// Whether two paths name one existing file, however they are spelled: the same
// text, "d/sub/../x", a symbolic link or a hard link all resolve to one inode.

// The host's absolute, normalised form of `path` (relative to the working
// directory; ".", ".." and repeated separators resolved lexically).
std::string normalized_absolute_path(const std::string& path);

// Files that both exist are the same when they have the same device and inode;
// otherwise the normalised absolute paths are compared.
bool same_file(const std::string& first, const std::string& second);

// True only when both paths exist and stat() (following links) gives the same
// device and inode. A path that does not exist names no existing file.
bool same_existing_file(const std::string& first, const std::string& second);

}  // namespace callfold
