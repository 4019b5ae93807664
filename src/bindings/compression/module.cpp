// Callfold.compression: sorting and BGZF compression of the unified VCF.
#include <nanobind/nanobind.h>

#include <string>

#include "compression/sort_and_compress.hpp"
#include "host/py_errors.hpp"
#include "host/py_paths.hpp"

namespace nb = nanobind;

namespace {

nb::str sort_and_compress(nb::handle path) {
    const std::string file = callfold::py::path_argument(path, "path");
    std::string written;
    {
        nb::gil_scoped_release release;
        written = callfold::compression::sort_and_compress(file);
    }
    return callfold::py::path_result(written);
}

}  // namespace

NB_MODULE(compression, m) {
    m.doc() = "Sort a VCF and compress it with BGZF so that tabix can index it.";
    callfold::py::register_error_translator();
    m.def("sort_and_compress", &sort_and_compress, nb::arg("path"),
          nb::sig("def sort_and_compress(path: str | os.PathLike[str]) -> str"),
          "Sort the VCF at path, write it BGZF-compressed to path + '.gz' and remove path.\n\n"
          "Header lines come first in their order, with declarations added before the\n"
          "#CHROM line for contigs, INFO and FORMAT keys, FILTER values and symbolic\n"
          "alleles that the records use but the header does not declare, and a\n"
          "##fileformat line first when there is none. Records are ordered by contig\n"
          "(##contig order first, then order of first appearance) and POS, ties in input\n"
          "order; a POS written other than as plain digits (+7, 007, 1_000) is written as\n"
          "plain digits. Blank lines are dropped. The input is removed only\n"
          "after the compressed file is complete and synced to disk; on any error it is\n"
          "left as it was and no output file remains. Raises ValueError for a record\n"
          "without CHROM or integer POS (naming the path and line) or a file without a\n"
          "#CHROM line. No index is written.");
}
