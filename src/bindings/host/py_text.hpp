// Moving text between the host's str objects and the core's UTF-8 views.
#pragma once

#include <nanobind/nanobind.h>

#include <string>
#include <string_view>
#include <vector>

namespace callfold::py {

namespace nb = nanobind;

// UTF-8 view of a str, owned by the str object (valid while it lives).
// TypeError when `object` is not a str; `what` names the parameter in the message.
std::string_view utf8_view(nb::handle object, const char* what);

nb::str to_str(std::string_view text);

// The host's truth test of any object (bool(object)).
bool is_true(nb::handle object);

// Holds a snapshot of the items of a sequence of str (references kept) together
// with their UTF-8 views, so the core can work on them without the GIL.
struct LineViews {
    std::vector<nb::object> owners;
    std::vector<std::string_view> views;
};
LineViews line_views(nb::handle iterable, const char* what);

}  // namespace callfold::py
