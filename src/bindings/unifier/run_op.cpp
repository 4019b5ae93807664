// run: the whole job, from input paths to the sorted BGZF file; run_indexed, the
// same with its index; _run_with, the same job with the caller's own sorting step.
#include <nanobind/nanobind.h>

#include "host/conversions.hpp"
#include "host/python_host.hpp"
#include "operations.hpp"
#include "options.hpp"
#include "unifier/unified_writer.hpp"

namespace callfold::py {
namespace {

// Unifies into output_path and hands the written file to `sort`; None when no
// input could donate a header (the sort step is then not called). The sort step
// is called with threads= only when a value was given, so a one-argument
// replacement keeps working for callers that give none.
nb::object run_job(nb::handle sort, nb::handle output_path, nb::handle sv_path, nb::handle cnv_path,
                   nb::handle repeat_path, nb::handle roh_bed_path, nb::handle skip_svtype,
                   nb::handle drop_sv_filters, nb::handle allow_build_mismatch, nb::handle threads) {
    unifier::RecordOptions record;
    record.repeat_marking = is_true(skip_svtype) ? unifier::RepeatMarking::never : unifier::RepeatMarking::detect;
    record.allow_build_mismatch = is_true(allow_build_mismatch);
    // The tokens as an immutable copy: a single text is one token.
    const std::vector<std::string> filters =
        filter_tokens(PyUnicode_Check(drop_sv_filters.ptr()) ? drop_sv_filters : nb::tuple(drop_sv_filters));

    const std::string output = path_argument(output_path, "output_path");
    unifier::InputPaths paths;
    const std::array<nb::handle, unifier::file_type_count> given = {sv_path, cnv_path, repeat_path, roh_bed_path};
    constexpr const char* names[] = {"sv_path", "cnv_path", "repeat_path", "roh_bed_path"};
    for (std::size_t type = 0; type < unifier::file_type_count; ++type)
        if (!given[type].is_none()) paths[type] = path_argument(given[type], names[type]);

    const bool written =
        run_released([&] { return unifier::unify_files(paths, output, filters, record); });
    if (!written) return nb::none();
    if (threads.is_none()) return sort(output_path);
    return sort(output_path, nb::arg("threads") = threads);
}

}  // namespace

void def_run(nb::module_& m) {
    m.def(
        "run",
        [](nb::handle output_path, nb::handle sv_path, nb::handle cnv_path, nb::handle repeat_path,
           nb::handle roh_bed_path, nb::handle skip_svtype, nb::handle drop_sv_filters,
           nb::handle allow_build_mismatch, nb::handle threads) -> nb::object {
            // Looked up now, not at load, so that a replacement bound later is the one called.
            nb::object sort = nb::module_::import_("Callfold.unifier").attr("sort_and_compress");
            return run_job(sort, output_path, sv_path, cnv_path, repeat_path, roh_bed_path, skip_svtype,
                           drop_sv_filters, allow_build_mismatch, threads);
        },
        nb::arg("output_path").none(), nb::arg("sv_path").none() = nb::none(), nb::arg("cnv_path").none() = nb::none(),
        nb::arg("repeat_path").none() = nb::none(), nb::arg("roh_bed_path").none() = nb::none(),
        nb::arg("skip_svtype").none() = false, nb::arg("drop_sv_filters").none() = nb::tuple(), nb::kw_only(),
        nb::arg("allow_build_mismatch").none() = true, nb::arg("threads").none() = nb::none(),
        nb::sig("def run(output_path: str | os.PathLike[str], sv_path: str | os.PathLike[str] | None = None, "
                "cnv_path: str | os.PathLike[str] | None = None, repeat_path: str | os.PathLike[str] | None = None, "
                "roh_bed_path: str | os.PathLike[str] | None = None, skip_svtype: bool = False, "
                "drop_sv_filters: Sequence[str] = (), *, allow_build_mismatch: bool = True, threads: int | None = None) -> Optional[str]"),
        "Unify the inputs into output_path, then sort and BGZF-compress it.\n\n"
        "Returns the path of the compressed file (the uncompressed one does not remain), or\n"
        "None when no input could donate a header. FILTER tokens in drop_sv_filters leave\n"
        "their SV records out; skip_svtype true never adds \"SVTYPE=\" to repeat records.\n"
        "ValueError when output_path, or its compressed name, is one of the inputs, or when\n"
        "an appended input's sample columns disagree with the header donor's. Inputs of\n"
        "different reference builds (chromosome naming styles or ##contig lengths) are warned\n"
        "of, or refused with ValueError before the output is opened when allow_build_mismatch\n"
        "is false.\n\n"
        "threads caps the threads the sort step uses at once (None: the cores available);\n"
        "the bytes written never depend on it.");

    m.def(
        "run_indexed",
        [](nb::handle output_path, nb::handle sv_path, nb::handle cnv_path, nb::handle repeat_path,
           nb::handle roh_bed_path, nb::handle skip_svtype, nb::handle drop_sv_filters, bool csi,
           nb::handle allow_build_mismatch, nb::handle threads) -> nb::object {
            nb::object sort_indexed = nb::module_::import_("Callfold.compression").attr("sort_and_compress_indexed");
            nb::object sort = nb::module_::import_("functools").attr("partial")(sort_indexed, nb::arg("csi") = csi);
            return run_job(sort, output_path, sv_path, cnv_path, repeat_path, roh_bed_path, skip_svtype,
                           drop_sv_filters, allow_build_mismatch, threads);
        },
        nb::arg("output_path").none(), nb::arg("sv_path").none() = nb::none(), nb::arg("cnv_path").none() = nb::none(),
        nb::arg("repeat_path").none() = nb::none(), nb::arg("roh_bed_path").none() = nb::none(),
        nb::arg("skip_svtype").none() = false, nb::arg("drop_sv_filters").none() = nb::tuple(), nb::kw_only(),
        nb::arg("csi") = false, nb::arg("allow_build_mismatch").none() = true, nb::arg("threads").none() = nb::none(),
        nb::sig("def run_indexed(output_path: str | os.PathLike[str], sv_path: str | os.PathLike[str] | None = None, "
                "cnv_path: str | os.PathLike[str] | None = None, repeat_path: str | os.PathLike[str] | None = None, "
                "roh_bed_path: str | os.PathLike[str] | None = None, skip_svtype: bool = False, "
                "drop_sv_filters: Sequence[str] = (), *, csi: bool = False, allow_build_mismatch: bool = True, "
                "threads: int | None = None) -> tuple[str, str] | None"),
        "run, with the tabix index written in the same pass: (the compressed file, its index),\n"
        "or None when no input could donate a header. The index is output_path + '.gz.tbi',\n"
        "or output_path + '.gz.csi' when csi is true or a record ends beyond what TBI holds\n"
        "(see compression.sort_and_compress_indexed). Raises what run raises.");

    m.def(
        "_run_with",
        [](nb::handle sort, nb::handle output_path, nb::handle sv_path, nb::handle cnv_path, nb::handle repeat_path,
           nb::handle roh_bed_path, nb::handle skip_svtype, nb::handle drop_sv_filters,
           nb::handle allow_build_mismatch, nb::handle threads) -> nb::object {
            return run_job(sort, output_path, sv_path, cnv_path, repeat_path, roh_bed_path, skip_svtype,
                           drop_sv_filters, allow_build_mismatch, threads);
        },
        nb::arg("sort"), nb::arg("output_path").none(), nb::arg("sv_path").none() = nb::none(),
        nb::arg("cnv_path").none() = nb::none(), nb::arg("repeat_path").none() = nb::none(),
        nb::arg("roh_bed_path").none() = nb::none(), nb::arg("skip_svtype").none() = false,
        nb::arg("drop_sv_filters").none() = nb::tuple(), nb::kw_only(), nb::arg("allow_build_mismatch").none() = true,
        nb::arg("threads").none() = nb::none(),
        nb::sig("def _run_with(sort: Callable[..., str], "
                "output_path: str | os.PathLike[str], sv_path: str | os.PathLike[str] | None = None, "
                "cnv_path: str | os.PathLike[str] | None = None, repeat_path: str | os.PathLike[str] | None = None, "
                "roh_bed_path: str | os.PathLike[str] | None = None, skip_svtype: bool = False, "
                "drop_sv_filters: Sequence[str] = (), *, allow_build_mismatch: bool = True, threads: int | None = None) -> Optional[str]"),
        "run with its sorting step given: sort(output_path) is called with the unified file and\n"
        "its result returned (for a step that also writes an index); sort(output_path,\n"
        "threads=threads) when threads is not None.");
}

}  // namespace callfold::py
