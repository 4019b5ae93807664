// vcf_header_from_lines, _write_vcf_content and unify_lines.
#include <nanobind/nanobind.h>

#include <array>
#include <optional>

#include "common/vcf_text.hpp"
#include "host/conversions.hpp"
#include "host/python_host.hpp"
#include "operations.hpp"
#include "options.hpp"
#include "unifier/unified_writer.hpp"

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

}  // namespace callfold::py
