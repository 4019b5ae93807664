// Callfold.unifier (placeholder while the bindings are written)
#include <nanobind/nanobind.h>

#include "host/py_errors.hpp"

NB_MODULE(unifier, m) {
    m.doc() = "Unify SV / CNV / repeat / ROH calls into one structural VCF for Orvane.";
    callfold::py::register_error_translator();
}
