// Callfold.compression: sorting and BGZF compression of the unified VCF.
#include <nanobind/nanobind.h>

#include "host/py_errors.hpp"

namespace nb = nanobind;

NB_MODULE(compression, m) {
    m.doc() = "Sort a VCF and compress it with BGZF so that tabix can index it.";
    callfold::py::register_error_translator();
    m.def(
        "sort_and_compress",
        [](nb::object) -> nb::object { throw nb::builtin_exception(nb::exception_type::runtime_error, "not built yet"); },
        nb::arg("path"), nb::sig("def sort_and_compress(path: str) -> str"),
        "Sort the VCF at path, write it BGZF-compressed and return the .gz path.");
}
