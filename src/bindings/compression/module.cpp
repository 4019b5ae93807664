// Callfold.compression: sorting and BGZF compression of the unified VCF.
#include <nanobind/nanobind.h>

#include <string>

#include "common/deflate.hpp"
#include "compression/sort_and_compress.hpp"
#include "host/py_errors.hpp"
#include "host/py_progress.hpp"
#include "host/py_interrupts.hpp"
#include "host/py_paths.hpp"

namespace nb = nanobind;

namespace {

nb::str sort_and_compress(nb::handle path) {
    const std::string file = callfold::py::path_argument(path, "path");
    const std::string written =
        callfold::py::run_released([&] { return callfold::compression::sort_and_compress(file); });
    return callfold::py::path_result(written);
}

}  // namespace

NB_MODULE(compression, m) {
    m.doc() = "Sort a VCF and compress it with BGZF so that tabix can index it.";
    callfold::py::register_error_translator();
    callfold::py::def_set_progress(m);
    m.def("sort_and_compress", &sort_and_compress, nb::arg("path"),
          nb::sig("def sort_and_compress(path: str | os.PathLike[str]) -> str"),
          "Sort the VCF at path, write it BGZF-compressed to path + '.gz' and remove path.\n\n"
          "The header is a ##fileformat line when the input has none, then its other header\n"
          "lines in input order (also those that stood after records), then declarations\n"
          "for contigs, INFO and FORMAT keys, FILTER values and symbolic alleles that the\n"
          "records use but the header does not declare, then the #CHROM line; a second\n"
          "#CHROM line identical to the first is dropped. Records follow, ordered by contig\n"
          "(##contig order first, then order of first appearance) and POS, ties in input\n"
          "order; a POS written other than as plain digits (+7, 007, 1_000) is written as\n"
          "plain digits. Blank lines are dropped. The input is removed only after the\n"
          "compressed file is complete and synced to disk; on any error it is left as it\n"
          "was and no output file remains. Raises ValueError, naming the path and line, for\n"
          "a record without CHROM or integer POS, a record with another number of\n"
          "TAB-separated columns than the #CHROM line, or a second #CHROM line that\n"
          "differs from the first; and, naming the path, for a file without a #CHROM line.\n"
          "No index is written.");
    // Which DEFLATE library this build uses, for bug reports and the build checks.
    m.attr("_deflate_library") = callfold::deflate_library;
}
