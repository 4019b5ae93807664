// Arguments and results between the host's objects and the core's plain values.
#pragma once

#include <nanobind/nanobind.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_api.hpp"

namespace callfold::py {

namespace nb = nanobind;

// Path arguments: a str (or an os.PathLike giving one) in the file system's
// encoding, as the host's own file functions take it. A NUL inside is left to
// the core, which refuses it where a path reaches the file system.
//
// TypeError for anything but a str or a path-like object whose path is a str.
CALLFOLD_HOST_API std::string path_argument(nb::handle object, const char* what);
CALLFOLD_HOST_API std::optional<std::string> optional_path_argument(nb::handle object, const char* what);

// A path from the core back as a str.
CALLFOLD_HOST_API nb::str path_result(std::string_view path);

// Text: the host's str objects as the core's UTF-8 views.
//
// UTF-8 view of a str, owned by the str object (valid while it lives).
// TypeError when `object` is not a str; `what` names the parameter in the message.
CALLFOLD_HOST_API std::string_view utf8_view(nb::handle object, const char* what);

CALLFOLD_HOST_API nb::str to_str(std::string_view text);

// A `threads` argument: None for the cores available (0 to the core), otherwise
// an int from 1 to 1024; TypeError or ValueError otherwise.
CALLFOLD_HOST_API unsigned threads_argument(nb::handle threads);

// The host's truth test of any object (bool(object)).
CALLFOLD_HOST_API bool is_true(nb::handle object);

// Holds a snapshot of the items of a sequence of str (references kept) together
// with their UTF-8 views, so the core can work on them without the GIL.
// Hidden as the nanobind objects it holds are: each binary has its own copy of its inline members.
struct __attribute__((visibility("hidden"))) LineViews {
    std::vector<nb::object> owners;
    std::vector<std::string_view> views;
};
CALLFOLD_HOST_API LineViews line_views(nb::handle iterable, const char* what);

}  // namespace callfold::py
