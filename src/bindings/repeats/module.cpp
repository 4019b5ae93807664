// Callfold.repeats: restricting a tandem-repeat VCF to a catalog BED, with the
// built-in intersection or, when named, with `bedtools intersect`.
#include <nanobind/nanobind.h>

#include <cstdint>
#include <optional>
#include <string>

#include "common/errors.hpp"
#include "host/conversions.hpp"
#include "host/errors.hpp"
#include "host/python_host.hpp"
#include "repeats/catalog.hpp"
#include "repeats/engines.hpp"
#include "repeats/filter_entry.hpp"
#include "repeats/genome_build.hpp"
#include "repeats/record_span.hpp"
#include "repeats/vcf_text_stream.hpp"

namespace nb = nanobind;
namespace core = callfold::repeats;
using callfold::py::to_str;
using callfold::py::utf8_view;
using callfold::py::optional_path_argument;
using callfold::py::path_argument;
using callfold::py::path_result;

namespace {

std::optional<std::string> optional_text(nb::handle object, const char* what) {
    if (object.is_none()) return std::nullopt;
    return std::string(utf8_view(object, what));
}

nb::object shipped_catalog_path(nb::handle module, std::string_view file_name) {
    nb::object os_path = nb::module_::import_("os").attr("path");
    nb::object module_file = os_path.attr("abspath")(module.attr("__file__"));
    return os_path.attr("join")(os_path.attr("dirname")(module_file), "data", to_str(file_name));
}

nb::object default_catalog_path(nb::handle module) { return shipped_catalog_path(module, core::bundled_catalog_name); }

// The per-user cache directory for derived catalogs: $XDG_CACHE_HOME/callfold
// or ~/.cache/callfold; without a home, a new private temporary directory.
std::string derived_catalog_directory() {
    nb::object os = nb::module_::import_("os");
    nb::object os_path = os.attr("path");
    nb::object base = os.attr("environ").attr("get")("XDG_CACHE_HOME", "");
    if (!callfold::py::is_true(os_path.attr("isabs")(base))) base = os_path.attr("expanduser")("~/.cache");
    if (!callfold::py::is_true(os_path.attr("isabs")(base)))
        return path_argument(nb::module_::import_("tempfile").attr("mkdtemp")("", "callfold-"), "cache directory");
    return path_argument(os_path.attr("join")(base, "callfold"), "cache directory");
}

nb::object catalog_path(nb::handle module, nb::handle build) {
    const std::optional<std::string_view> file_name =
        PyUnicode_Check(build.ptr()) ? core::shipped_catalog_name(utf8_view(build, "build")) : std::nullopt;
    if (!file_name) {
        const nb::str shown = nb::repr(build);
        throw callfold::InvalidValue("no catalog for build " + std::string(shown.c_str()) +
                                   "; the known builds are " + core::known_builds());
    }
    nb::object shipped = shipped_catalog_path(module, *file_name);
    if (utf8_view(build, "build") != core::derived_build) return shipped;
    const std::string source = path_argument(shipped, "catalog");
    const std::string directory = derived_catalog_directory();
    return path_result(callfold::py::run_released([&] { return core::derived_b37_catalog(source, directory); }));
}

nb::tuple recognise_build(nb::handle vcf_path) {
    const std::string path = path_argument(vcf_path, "vcf_path");
    const core::RecognisedBuild found = callfold::py::run_released([&] { return core::recognise_build(path); });
    nb::object build = found.build ? nb::object(to_str(*found.build)) : nb::none();
    return nb::make_tuple(build, to_str(found.evidence));
}

nb::object filter(nb::handle full_repeat_path, nb::handle repeat_bed_file_path, nb::handle engine,
                  nb::handle output_path, nb::handle allow_build_mismatch) {
    const auto repeat = optional_path_argument(full_repeat_path, "full_repeat_path");
    const auto bed = optional_path_argument(repeat_bed_file_path, "repeat_bed_file_path");
    const auto chosen = optional_text(engine, "engine");
    const auto output = optional_path_argument(output_path, "output_path");
    const bool allow = callfold::py::is_true(allow_build_mismatch);
    const std::optional<std::string> result = callfold::py::run_released([&] {
        return core::filter_repeats_vcf(repeat, bed, chosen, output, allow);
    });
    if (!result) return nb::none();
    return path_result(*result);
}

// An engine called with its three paths, without the GIL.
template <class Engine>
void run_engine(nb::handle repeat_path, nb::handle bed_path, nb::handle output_path, Engine engine) {
    const std::string repeat = path_argument(repeat_path, "repeat_path");
    const std::string bed = path_argument(bed_path, "bed_path");
    const std::string output = path_argument(output_path, "output_path");
    callfold::py::run_released([&] { engine(repeat, bed, output); });
}

// An exact int within 64 bits; nothing for any other value (beyond 64 bits, a
// float, an int subclass that may compare its own way).
std::optional<std::int64_t> exact_int64(nb::handle value) {
    if (!PyLong_CheckExact(value.ptr())) return std::nullopt;
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (overflow != 0) return std::nullopt;
    return number;
}

// A host object, compared as the host compares it (its errors raised).
struct HostValue {
    nb::handle object;

    static bool compare(const HostValue& left, const HostValue& right, int operation) {
        const int result = PyObject_RichCompareBool(left.object.ptr(), right.object.ptr(), operation);
        if (result < 0) throw nb::python_error();
        return result != 0;
    }
    friend bool operator>=(const HostValue& left, const HostValue& right) { return compare(left, right, Py_GE); }
    friend bool operator<(const HostValue& left, const HostValue& right) { return compare(left, right, Py_LT); }
};

// The core's scan over any iterable of (start, end) pairs, pulled one at a time
// (it never looks past the interval that ends it). Pairs of 64-bit ints are
// judged as the core's integers; any other values as the objects themselves,
// so that whatever the host can compare is judged as the host would.
bool overlaps(nb::handle intervals, nb::handle start, nb::handle end) {
    const auto start64 = exact_int64(start);
    const auto end64 = exact_int64(end);
    for (nb::handle item : intervals) {
        nb::object pair = nb::steal(PySequence_Tuple(item.ptr()));
        if (!pair.is_valid()) throw nb::python_error();
        const Py_ssize_t size = PyTuple_GET_SIZE(pair.ptr());
        if (size != 2) throw callfold::WrongFieldCount(2, static_cast<std::size_t>(size));
        const nb::handle interval_start = PyTuple_GET_ITEM(pair.ptr(), 0);
        const nb::handle interval_end = PyTuple_GET_ITEM(pair.ptr(), 1);
        const auto first = exact_int64(interval_start);
        const auto last = exact_int64(interval_end);
        const core::ScanStep step =
            first && last && start64 && end64
                ? core::scan_step(*first, *last, *start64, *end64)
                : core::scan_step(HostValue{interval_start}, HostValue{interval_end}, HostValue{start},
                                  HostValue{end});
        if (step != core::ScanStep::next) return step == core::ScanStep::overlap;
    }
    return false;
}

nb::dict read_bed_intervals(nb::handle bed_path) {
    const std::string path = path_argument(bed_path, "bed_path");
    const core::Catalog catalog = callfold::py::run_released([&] { return core::read_bed_intervals(path); });
    nb::dict result;
    for (std::size_t i = 0; i < catalog.chromosomes.size(); ++i) {
        const auto& intervals = catalog.intervals[i];
        nb::list list = nb::steal<nb::list>(PyList_New(static_cast<Py_ssize_t>(intervals.size())));
        if (!list.is_valid()) throw nb::python_error();
        for (std::size_t k = 0; k < intervals.size(); ++k) {
            nb::tuple pair = nb::make_tuple(intervals[k].start, intervals[k].end);
            PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(k), pair.release().ptr());
        }
        result[to_str(catalog.chromosomes[i])] = list;
    }
    return result;
}

}  // namespace

NB_MODULE(repeats, m) {
    m.doc() =
        "Restrict a tandem-repeat VCF to the loci of a catalog BED, with the built-in\n"
        "intersection or, when named, by running `bedtools intersect`.";
    callfold::py::register_error_translator();
    callfold::py::def_set_progress(m);

    m.attr("_BUNDLED_CATALOG") = core::bundled_catalog_name;
    m.attr("BEDTOOLS") = core::bedtools_engine_name;
    m.attr("BUILTIN") = core::builtin_engine_name;
    nb::list builds;
    for (const std::string_view build : core::catalog_builds) builds.append(to_str(build));
    m.attr("CATALOG_BUILDS") = nb::tuple(builds);

    nb::handle module = m;
    m.def(
        "default_repeat_catalog_path", [module]() { return default_catalog_path(module); },
        nb::sig("def default_repeat_catalog_path() -> str"),
        "Path of the catalog BED shipped with the module: data/<_BUNDLED_CATALOG> in the\n"
        "directory of the module's file. Computed afresh on each call; existence is not tested.");

    m.def(
        "catalog_path", [module](nb::handle build) { return catalog_path(module, build); }, nb::arg("build").none(),
        nb::sig("def catalog_path(build: str) -> str"),
        "Path of the shipped disease-locus catalog of a build in CATALOG_BUILDS: \"hg38\",\n"
        "\"hg19\", \"t2t\" (files in data/ beside the module), or \"b37\", derived from the hg19\n"
        "file (\"chr\" removed, chrM as MT) into $XDG_CACHE_HOME/callfold (~/.cache/callfold)\n"
        "and rewritten whenever it differs from the derivation. ValueError for any other build.");

    m.def("recognise_build", &recognise_build, nb::arg("vcf_path").none(),
          nb::sig("def recognise_build(vcf_path: str | os.PathLike[str]) -> tuple[str | None, str]"),
          "(build, evidence): the build of CATALOG_BUILDS a VCF (plain or gzip/BGZF) was called\n"
          "on, or None, and one line saying what was seen or why it cannot tell. Judged by the\n"
          "##contig length of chr1/1 (GRCh38 248956422, GRCh37 249250621, T2T-CHM13\n"
          "248387328), else the names in ##reference/##assembly lines; the chromosome naming\n"
          "(\"chr1\" or \"1\", from ##contig lines or the first records) tells hg19 from b37 and\n"
          "refuses a naming no shipped catalog uses. Reads the header and as few records as needed.");

    m.def("bedtools_available", &core::bedtools_available, nb::sig("def bedtools_available() -> bool"),
          "Whether an executable regular file named \"bedtools\" is on PATH (searched anew on each call).");

    m.def("filter_repeats_vcf", &filter, nb::arg("full_repeat_path").none() = nb::none(),
          nb::arg("repeat_bed_file_path").none() = nb::none(), nb::arg("engine").none() = nb::none(),
          nb::arg("output_path").none() = nb::none(), nb::kw_only(), nb::arg("allow_build_mismatch").none() = true,
          nb::sig("def filter_repeats_vcf(full_repeat_path: str | os.PathLike[str] | None = None, "
                  "repeat_bed_file_path: str | os.PathLike[str] | None = None, engine: str | None = None, "
                  "output_path: str | os.PathLike[str] | None = None, *, allow_build_mismatch: bool = True) "
                  "-> str | None"),
          "Write the records of the repeat VCF that overlap the catalog BED, after its header\n"
          "lines, to a plain VCF and return its path.\n\n"
          "Returns None with a warning when either path is None or names nothing. engine None\n"
          "or any name but \"bedtools\" runs the built-in engine, whatever is installed; only\n"
          "\"bedtools\" exactly (BEDTOOLS) runs `bedtools intersect` (RuntimeError when it is not\n"
          "on PATH). The output is output_path when given and not empty, else\n"
          "filtered_repeat_path of the repeat VCF. ValueError when the output would name the\n"
          "repeat VCF or the catalog (same path, other spelling, symbolic or hard link). Engine\n"
          "errors pass unchanged.\n\n"
          "The built-in engine gives a record the span [POS - 1, END), END from INFO, else\n"
          "POS - 1 plus the length of REF. bedtools sizes records its own way:\n"
          "- ALT a sequence or \".\": REF alone, INFO END ignored, so a reference call whose\n"
          "  one-base REF lies before a locus that its END covers is dropped by bedtools and\n"
          "  kept by the built-in engine;\n"
          "- ALT symbolic (\"<...>\"): |SVLEN| or END, whichever INFO gives first;\n"
          "- a symbolic ALT with neither, an END below POS - 1, or a line of only spaces or\n"
          "  tabs makes bedtools fail (CalledProcessError); the built-in engine judges such a\n"
          "  record by the span above and skips such a line.\n\n"
          "After the engine's messages, a warning when the VCF names chromosomes (##contig lines\n"
          "or records) in another style than the catalog (\"1\" against \"chr1\", RefSeq\n"
          "\"NC_000001.11\"), or has records none of which lies on a chromosome the catalog names\n"
          "(with bedtools, only where the VCF and catalog are regular files that can be read a\n"
          "second time). With allow_build_mismatch false either is ValueError instead, and no\n"
          "output file is left behind (an existing file at the output path stays as it was).");

    m.def(
        "filtered_repeat_path",
        [](nb::handle full_repeat_path) {
            return path_result(core::filtered_repeat_path(path_argument(full_repeat_path, "full_repeat_path")));
        },
        nb::arg("full_repeat_path"),
        nb::sig("def filtered_repeat_path(full_repeat_path: str | os.PathLike[str]) -> str"),
        "The default output path of filter_repeats_vcf: beside the input, its name stripped of extensions back to the\n"
        "last \".vcf\", plus \"_filtered.vcf\" (d/s.vcf.gz -> d/s_filtered.vcf,\n"
        "calls.vcf.vcf -> calls.vcf_filtered.vcf).\n\n"
        "A name with no \".vcf\" extension at any level (.bcf, .txt, .VCF, a bare \".vcf\")\n"
        "keeps its whole name less one trailing \".gz\" or \".bgz\" (any case), so\n"
        "calls.txt.gz -> calls.txt_filtered.vcf and .vcf -> .vcf_filtered.vcf.");
    // The name it had before it was public.
    m.attr("_filtered_repeat_path") = m.attr("filtered_repeat_path");

    m.def(
        "_intersect_with_bedtools",
        [](nb::handle repeat_path, nb::handle bed_path, nb::handle output_path) {
            run_engine(repeat_path, bed_path, output_path, [](const std::string& repeat, const std::string& bed,
                                                              const std::string& output) {
                core::intersect_with_bedtools(repeat, bed, output);
            });
        },
        nb::arg("repeat_path"), nb::arg("bed_path"), nb::arg("output_path"),
        nb::sig("def _intersect_with_bedtools(repeat_path: str | os.PathLike[str], "
                "bed_path: str | os.PathLike[str], output_path: str | os.PathLike[str]) -> None"),
        "Run `bedtools intersect -a repeat_path -b bed_path -header -u` with its standard\n"
        "output written to output_path (created or truncated first) and wait for it.\n"
        "subprocess.CalledProcessError on a non-zero exit status; OSError when bedtools\n"
        "cannot be started (the output then exists, empty); ValueError when output_path\n"
        "names an input.");

    m.def(
        "_intersect_in_python",
        [](nb::handle repeat_path, nb::handle bed_path, nb::handle output_path) {
            run_engine(repeat_path, bed_path, output_path, [](const std::string& repeat, const std::string& bed,
                                                              const std::string& output) {
                core::intersect_builtin(repeat, bed, output);
            });
        },
        nb::arg("repeat_path"), nb::arg("bed_path"), nb::arg("output_path"),
        nb::sig("def _intersect_in_python(repeat_path: str | os.PathLike[str], "
                "bed_path: str | os.PathLike[str], output_path: str | os.PathLike[str]) -> None"),
        "The built-in intersection: copy the header lines of the repeat VCF (plain or gzip)\n"
        "and each record whose span overlaps a catalog interval, once, in input order, to\n"
        "output_path; log \"Repeat records kept: %d, outside the catalog: %d\". ValueError\n"
        "when output_path names an input (checked before the output is opened).");

    m.def(
        "_record_span",
        [](nb::handle line) -> nb::object {
            const auto span = core::record_span(utf8_view(line, "line"));
            if (!span) return nb::none();
            return nb::make_tuple(to_str(span->chromosome), span->start, span->end);
        },
        nb::arg("line"), nb::sig("def _record_span(line: str) -> tuple[str, int, int] | None"),
        "(CHROM, POS - 1, END) of a VCF record line, END from INFO or else start plus\n"
        "max(len(REF), 1); None when the line has fewer than 8 columns or POS is not an integer.");

    m.def(
        "_info_end",
        [](nb::handle info) -> nb::object {
            const auto end = core::info_end(utf8_view(info, "info"));
            if (!end) return nb::none();
            return nb::int_(*end);
        },
        nb::arg("info"), nb::sig("def _info_end(info: str) -> int | None"),
        "END of the first \"END=\" entry of an INFO column, or None when there is none or\n"
        "its value is not an integer (a later END= entry is then not consulted).");

    m.def("_read_bed_intervals", &read_bed_intervals, nb::arg("bed_path"),
          nb::sig("def _read_bed_intervals(bed_path: str | os.PathLike[str]) -> dict[str, list[tuple[int, int]]]"),
          "Catalog intervals by chromosome, each list sorted by start then end. Blank,\n"
          "\"#\"/\"track\"/\"browser\" lines, lines of fewer than 3 TAB-separated columns and\n"
          "lines whose start or end is not an integer are skipped; a bound that is integer text\n"
          "beyond 64 bits is ValueError, its note naming the line.");

    m.def("_overlaps", &overlaps, nb::arg("intervals"), nb::arg("start"), nb::arg("end"),
          nb::sig("def _overlaps(intervals: collections.abc.Iterable[tuple[int, int]], start: int, end: int) -> bool"),
          "Whether [start, end) overlaps an interval of a list sorted by start: a scan from\n"
          "the first interval that stops at the first one starting at or after end.");

    callfold::py::repeats::bind_vcf_text_stream(m);
}
