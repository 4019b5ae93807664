// Whether two paths name one existing file, however they are spelled: the same
// text, "d/sub/../x", a symbolic link or a hard link all resolve to one inode.
#pragma once

#include <string>

namespace callfold {

// True only when both paths exist and stat() (following links) gives the same
// device and inode. A path that does not exist names no existing file.
bool same_existing_file(const std::string& first, const std::string& second);

}  // namespace callfold
