// The module's shared vocabulary: the file-type constants, RohFormat and the
// frozen UnifyOptions record (the host's own dataclass).
#pragma once

#include <nanobind/nanobind.h>

namespace callfold::py {

namespace nb = nanobind;

void def_constants(nb::module_& m);
void def_roh_format(nb::module_& m);
void def_unify_options(nb::module_& m);  // after def_roh_format: its default is RohFormat.AUTO

}  // namespace callfold::py
