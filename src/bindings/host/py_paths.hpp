// Path arguments: a str (or an os.PathLike giving one) in the file system's
// encoding, as the host's own file functions take it. A NUL inside is left to
// the core, which refuses it where a path reaches the file system.
#pragma once

#include <nanobind/nanobind.h>

#include <optional>
#include <string>
#include <string_view>

namespace callfold::py {

namespace nb = nanobind;

// TypeError for anything but a str or a path-like object whose path is a str.
std::string path_argument(nb::handle object, const char* what);
std::optional<std::string> optional_path_argument(nb::handle object, const char* what);

// A path from the core back as a str.
nb::str path_result(std::string_view path);

}  // namespace callfold::py
