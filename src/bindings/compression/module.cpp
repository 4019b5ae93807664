// Callfold.compression: sorting and BGZF compression of the unified VCF.
#include <nanobind/nanobind.h>

#include <cstdint>
#include <string>

#include "common/deflate.hpp"
#include "compression/sort_and_compress.hpp"
#include "host/conversions.hpp"
#include "host/errors.hpp"
#include "host/python_host.hpp"

namespace nb = nanobind;

namespace {

// None: no limit (0 to the core); otherwise a positive int of bytes.
std::size_t max_memory_argument(nb::handle max_memory) {
    if (max_memory.is_none()) return 0;
    if (!PyLong_Check(max_memory.ptr()) || PyBool_Check(max_memory.ptr()))
        throw nb::value_error(("max_memory must be a positive int (bytes) or None, not " +
                              std::string(nb::type_name(max_memory.type()).c_str())).c_str());
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(max_memory.ptr(), &overflow);
    if (overflow < 0 || (overflow == 0 && value < 1))
        throw nb::value_error(("max_memory must be a positive number of bytes, not " +
                               std::string(nb::repr(max_memory).c_str())).c_str());
    // Beyond what memory can hold, the limit is no limit.
    if (overflow > 0 || static_cast<unsigned long long>(value) > SIZE_MAX / 2) return SIZE_MAX / 2;
    return static_cast<std::size_t>(value);
}

struct SpillArguments {
    nb::handle max_memory;
    nb::handle temp_dir;
};

callfold::compression::SortedFiles sort_files(nb::handle path, bool index, bool csi, nb::handle threads,
                                              SpillArguments spill) {
    const std::string file = callfold::py::path_argument(path, "path");
    callfold::compression::SortAndCompressOptions options;
    options.index = index;
    options.csi = csi;
    options.threads = callfold::py::threads_argument(threads);
    options.max_memory = max_memory_argument(spill.max_memory);
    options.temp_dir = callfold::py::optional_path_argument(spill.temp_dir, "temp_dir").value_or(std::string());
    return callfold::py::run_released([&] { return callfold::compression::sort_and_compress(file, options); });
}

nb::str sort_and_compress(nb::handle path, bool index, bool csi, nb::handle threads, nb::handle max_memory,
                          nb::handle temp_dir) {
    return callfold::py::path_result(sort_files(path, index, csi, threads, {max_memory, temp_dir}).compressed);
}

nb::tuple sort_and_compress_indexed(nb::handle path, bool csi, nb::handle threads, nb::handle max_memory,
                                    nb::handle temp_dir) {
    const callfold::compression::SortedFiles written = sort_files(path, true, csi, threads, {max_memory, temp_dir});
    return nb::make_tuple(callfold::py::path_result(written.compressed), callfold::py::path_result(written.index));
}

}  // namespace

NB_MODULE(compression, m) {
    m.doc() = "Sort a VCF and compress it with BGZF so that tabix can index it, or index it in the same pass.";
    callfold::py::register_error_translator();
    callfold::py::def_set_progress(m);
    m.def("sort_and_compress", &sort_and_compress, nb::arg("path"), nb::kw_only(), nb::arg("index") = false,
          nb::arg("csi") = false, nb::arg("threads").none() = nb::none(), nb::arg("max_memory").none() = nb::none(),
          nb::arg("temp_dir").none() = nb::none(),
          nb::sig("def sort_and_compress(path: str | os.PathLike[str], *, index: bool = False, csi: bool = False, "
                  "threads: int | None = None, max_memory: int | None = None, "
                  "temp_dir: str | os.PathLike[str] | None = None) -> str"),
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
          "differs from the first; and, naming the path, for a file without a #CHROM line.\n\n"
          "With index=True the tabix index is written in the same pass, from the offsets of\n"
          "the compressed blocks: path + '.gz.tbi', the index `tabix -p vcf` builds, or\n"
          "path + '.gz.csi' when a record ends beyond position 2^29, which TBI cannot hold;\n"
          "csi=True always writes the CSI (and implies index). Records are placed as tabix\n"
          "places them: from POS, to the end of REF or to INFO END when that lies beyond POS.\n"
          "The index is synced and renamed into place after the .gz; on any error neither\n"
          "remains. Raises ValueError, naming the path, for a record holding a NUL byte or\n"
          "ending beyond position 2^41, which no index can describe.\n\n"
          "An index of either kind left beside path + '.gz' by an earlier run describes\n"
          "other data: it is removed (also with index=False) before the new file takes\n"
          "the name. Without index=True no index is written.\n\n"
          "threads caps the threads used at once (None: the cores available); the bytes\n"
          "written never depend on it. Raises ValueError for a value below 1 or above 1024.\n\n"
          "max_memory bounds the memory the records take (bytes; None: no bound): when they\n"
          "need more, sorted parts of them are written, compressed, to an unnamed temporary\n"
          "file in temp_dir (default: the directory of path) and merged. The files written\n"
          "are the same bytes as without the bound; the temporary file never has a name\n"
          "(or loses it at once), so nothing of it remains after success, error or\n"
          "interrupt. A record longer than half the bound is held whole all the same. Raises\n"
          "ValueError for a max_memory that is not a positive int, OSError naming temp_dir\n"
          "when no temporary file can be created there.");
    m.def("sort_and_compress_indexed", &sort_and_compress_indexed, nb::arg("path"), nb::kw_only(),
          nb::arg("csi") = false, nb::arg("threads").none() = nb::none(), nb::arg("max_memory").none() = nb::none(),
          nb::arg("temp_dir").none() = nb::none(),
          nb::sig("def sort_and_compress_indexed(path: str | os.PathLike[str], *, csi: bool = False, "
                  "threads: int | None = None, max_memory: int | None = None, "
                  "temp_dir: str | os.PathLike[str] | None = None) -> tuple[str, str]"),
          "sort_and_compress(path, index=True, csi=csi, threads=threads, max_memory=max_memory,\n"
          "temp_dir=temp_dir), returning both files\n"
          "written: (path + '.gz', its index: path + '.gz.tbi', or path + '.gz.csi' when csi is\n"
          "true or a record ends beyond what TBI holds). Raises what sort_and_compress raises.");
    // Which DEFLATE library this build uses, for bug reports and the build checks.
    m.attr("_deflate_library") = callfold::deflate_library;
}
