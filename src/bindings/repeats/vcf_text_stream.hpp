// The text stream `_open_vcf_text` hands out: the repeat VCF's lines as str,
// decompressed when the file is gzip, closed by its owner.
#pragma once

#include <nanobind/nanobind.h>

namespace callfold::py::repeats {

namespace nb = nanobind;

// Registers the stream class and `_open_vcf_text` on the module.
void bind_vcf_text_stream(nb::module_& module);

}  // namespace callfold::py::repeats
