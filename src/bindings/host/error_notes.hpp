// The note an error gains when the core says where in an input it arose:
// "cnv input '/data/s1.cnv.vcf', line 14: 'chr2\t7000000\t...'".
#pragma once

#include <nanobind/nanobind.h>

#include "common/input_location.hpp"

namespace callfold::py {

namespace nb = nanobind;

nb::str location_note(const InputLocation& where);

// Adds `note` to the error being raised (BaseException.add_note).
void add_note_to_raised(nb::handle note);

}  // namespace callfold::py
