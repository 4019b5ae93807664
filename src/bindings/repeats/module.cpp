// Callfold.repeats: restricting a tandem-repeat VCF to a catalog BED.
#include <nanobind/nanobind.h>

#include "host/py_errors.hpp"

namespace nb = nanobind;

NB_MODULE(repeats, m) {
    m.doc() = "Restrict a tandem-repeat VCF to the loci of a catalog BED.";
    callfold::py::register_error_translator();
}
