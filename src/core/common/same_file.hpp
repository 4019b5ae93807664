// Whether two paths name one existing file, however they are spelled: the same
// text, "d/sub/../x", a symbolic link or a hard link all resolve to one inode.
#pragma once

#include <string>

namespace callfold {

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
