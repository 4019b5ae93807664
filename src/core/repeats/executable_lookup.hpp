// Finding a program on the search path the way the host's shutil.which does.
#pragma once

#include <optional>
#include <string>

namespace callfold::repeats {

// The first "<dir>/<name>" over the directories of PATH (the system's default
// path when PATH is unset, nothing when it is empty) that is a regular file the
// process may execute. Searched afresh on every call.
std::optional<std::string> find_executable(const std::string& name);

}  // namespace callfold::repeats
