// Writing: vcf_header_from_lines, _write_vcf_content and unify_lines; run, the whole
// job from input paths to the sorted BGZF file; run_indexed, the same with its index;
// _run_with, the same job with the caller's own sorting step.
#include <nanobind/nanobind.h>

#include <array>
#include <optional>

#include "common/parallel_ranges.hpp"
#include "common/vcf_text.hpp"
#include "host/conversions.hpp"
#include "host/python_host.hpp"
#include "operations.hpp"
#include "unifier/unified_writer.hpp"
#include "vocabulary.hpp"

namespace callfold::py {

void def_vcf_header_from_lines(nb::module_& m) {
    m.def(
        "vcf_header_from_lines",
        [](nb::handle vcf_lines) {
            std::string header;
            for (nb::handle line : vcf_lines) {
                const std::string_view text = utf8_view(line, "line");
                header.append(text);
                if (mentions_column_header(text)) break;
            }
            return to_str(header);
        },
        nb::arg("vcf_lines").none(), nb::sig("def vcf_header_from_lines(vcf_lines: Iterable[str]) -> str"),
        "The header of a VCF's lines: every line up to and including the first holding \"#CHROM\".");
}

void def_write_vcf_content(nb::module_& m) {
    m.def(
        "_write_vcf_content",
        [](nb::handle file_type, nb::handle lines_dict, nb::handle output_h, nb::handle options) {
            const std::string key(utf8_view(file_type, "file_type"));
            nb::object lines = lines_dict[file_type];
            LineViews views = line_views(lines, "line");
            nb::object write = output_h.attr("write");
            const unifier::LineOut out = [&write](std::string_view text) { write(to_str(text)); };
            const unifier::RecordOptions record = record_options(options);
            run_held([&] { unifier::write_vcf_content(key, views.views, out, record); });
        },
        nb::arg("file_type").none(), nb::arg("lines_dict").none(), nb::arg("output_h").none(), nb::arg("options").none(),
        nb::sig("def _write_vcf_content(file_type: str, lines_dict: Dict[str, Optional[List[str]]], output_h, "
                "options: UnifyOptions) -> None"),
        "Append one input's records, never its header, to the open text file output_h.\n\n"
        "Repeat records are marked, ROH BED intervals converted, others copied; each line\n"
        "written ends in \"\\n\".");
}

void def_unify_lines(nb::module_& m) {
    m.def(
        "unify_lines",
        [](nb::handle files_lines, nb::handle output_path, nb::handle options) -> nb::object {
            const std::string path = path_argument(output_path, "output_path");
            const unifier::RecordOptions record = record_options(options);
            nb::object get = files_lines.attr("get");
            std::array<std::optional<LineViews>, unifier::file_type_count> inputs;
            unifier::LinesByType lines{};
            for (std::size_t type = 0; type < unifier::file_type_count; ++type) {
                nb::object value = get(to_str(unifier::file_type_keys[type]));
                if (value.is_none()) continue;
                inputs[type] = line_views(value, "line");
                lines[type] = &inputs[type]->views;
            }
            const bool written =
                run_released([&] { return unifier::unify_lines(lines, path, record); });
            return written ? nb::borrow(output_path) : nb::none();
        },
        nb::arg("files_lines").none(), nb::arg("output_path").none(), nb::arg("options").none() = nb::none(),
        nb::sig("def unify_lines(files_lines: Dict[str, Optional[List[str]]], output_path: str | os.PathLike[str], "
                "options: Optional[UnifyOptions] = None) -> str | os.PathLike[str] | None"),
        "Write the unsorted unified VCF at output_path and return output_path.\n\n"
        "The first present of sv, cnv, repeats donates the header; the records of the other\n"
        "inputs follow in the order cnv, repeats, roh. None (and an empty file) when no input\n"
        "could donate a header.\n\n"
        "Before its #CHROM line the header gains the INFO, FORMAT, FILTER, ALT and contig lines\n"
        "of the appended inputs whose ID it does not yet declare (the first declaration wins; a\n"
        "differing Number or Type is warned), and a FORMAT GT declaration is written as\n"
        "Number=1,Type=String, the genotype text that the records hold.\n\n"
        "ValueError, before output_path is opened, when an appended input's records would\n"
        "not carry the sample columns of that header (a converted ROH BED record has one).\n"
        "ValueError, also before output_path is opened, when the ROH input is neither a BED,\n"
        "a VCF nor `bcftools roh` regions (under RohFormat.AUTO) or holds regions of several\n"
        "samples. An appended input that names chromosomes in another style than the donor\n"
        "(\"1\" against \"chr1\") or gives a contig another ##contig length is warned of, or\n"
        "refused with ValueError when options.allow_build_mismatch is false.");
}

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

    // The cap holds for the reading too: BGZF inputs inflate on several threads.
    const unsigned thread_limit = threads_argument(threads);
    const bool written = run_released([&] {
        const ThreadCap cap(thread_limit);
        return unifier::unify_files(paths, output, filters, record);
    });
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
        "threads caps the threads the job uses at once (None: the cores available);\n"
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
