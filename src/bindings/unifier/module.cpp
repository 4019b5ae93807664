// Callfold.unifier: the module set-up, in the order a caller can rely on:
// imports, constants, classes, then the operations.
#include <nanobind/nanobind.h>

#include "host/errors.hpp"
#include "host/python_host.hpp"
#include "operations.hpp"
#include "vocabulary.hpp"

namespace nb = nanobind;
namespace py = callfold::py;

namespace {

// The names a module doing these imports would hold. The sorting step comes
// from the sibling module; without it this module does not load.
void import_dependencies(nb::module_& m) {
    m.attr("gzip") = nb::module_::import_("gzip");
    m.attr("logging") = nb::module_::import_("logging");
    nb::module_ dataclasses = nb::module_::import_("dataclasses");
    m.attr("dataclass") = dataclasses.attr("dataclass");
    m.attr("field") = dataclasses.attr("field");
    nb::module_ typing = nb::module_::import_("typing");
    for (const char* name : {"Dict", "Iterable", "List", "Optional", "Sequence"}) m.attr(name) = typing.attr(name);

    PyObject* compression = PyImport_ImportModule("Callfold.compression");
    if (compression == nullptr) {
        nb::python_error cause;
        nb::object import_error = nb::borrow(PyExc_ImportError);
        nb::object error = import_error(nb::str("cannot import Callfold.compression, which Callfold.unifier needs: {}")
                                            .format(nb::str(cause.value())));
        PyException_SetCause(error.ptr(), cause.value().inc_ref().ptr());
        PyErr_SetObject(PyExc_ImportError, error.ptr());
        throw nb::python_error();
    }
    m.attr("sort_and_compress") = nb::steal(compression).attr("sort_and_compress");
}

}  // namespace

NB_MODULE(unifier, m) {
    m.doc() = "Unify SV / CNV / repeat / ROH calls into one structural VCF for Orvane.";
    py::register_error_translator();
    import_dependencies(m);
    py::def_constants(m);
    py::def_roh_format(m);
    py::def_unify_options(m);
    py::def_get_lines(m);
    py::def_is_empty(m);
    py::def_vcf_header_from_lines(m);
    py::def_is_valid_line(m);
    py::def_modify_repeat_line(m);
    py::def_repeat_line_needs_svtype(m);
    py::def_marked_repeat_line(m);
    py::def_roh_lines_are_bed(m);
    py::def_roh_bed_line_to_vcf(m);
    py::def_drop_sv_records_by_filter(m);
    py::def_write_vcf_content(m);
    py::def_unify_lines(m);
    py::def_read_struct_lines(m);
    py::def_run(m);
    py::def_set_progress(m);
}
