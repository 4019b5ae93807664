// The per-record rules: CNV validity, repeat marking, ROH shape and conversion.
#include <nanobind/nanobind.h>

#include "host/conversions.hpp"
#include "operations.hpp"
#include "options.hpp"
#include "unifier/record_rules.hpp"
#include "unifier/roh_input.hpp"

namespace callfold::py {

void def_is_valid_line(nb::module_& m) {
    m.def(
        "is_valid_line", [](nb::handle line) { return unifier::is_valid_cnv_line(utf8_view(line, "line")); },
        nb::arg("line").none(), nb::sig("def is_valid_line(line: str) -> bool"),
        "Whether a CNV line is worth keeping: header lines and records carrying \"SVTYPE=\"\n"
        "always, other records unless their genotype is the no-call \"./.\".");
}

void def_modify_repeat_line(nb::module_& m) {
    m.def(
        "modify_repeat_line",
        [](nb::handle repeat_line) { return to_str(unifier::modify_repeat_line(utf8_view(repeat_line, "repeat_line"))); },
        nb::arg("repeat_line").none(), nb::sig("def modify_repeat_line(repeat_line: str) -> str"),
        "Append \";SVTYPE=REP\" to the INFO field of a repeat record of one or more sample\n"
        "columns (at least ten fields; ValueError otherwise).");
}

void def_repeat_line_needs_svtype(nb::module_& m) {
    m.def(
        "_repeat_line_needs_svtype",
        [](nb::handle repeat_line) { return unifier::repeat_line_needs_svtype(utf8_view(repeat_line, "repeat_line")); },
        nb::arg("repeat_line").none(), nb::sig("def _repeat_line_needs_svtype(repeat_line: str) -> bool"),
        "Whether a record of at least ten fields lacks \"SVTYPE=\" in its INFO field.");
}

void def_marked_repeat_line(nb::module_& m) {
    m.def(
        "_marked_repeat_line",
        [](nb::handle repeat_line, nb::handle add_repeat_svtype) -> nb::object {
            const std::string_view line = utf8_view(repeat_line, "repeat_line");
            if (auto marked = unifier::marked_repeat_line(line, repeat_marking(add_repeat_svtype))) return to_str(*marked);
            return nb::borrow(repeat_line);
        },
        nb::arg("repeat_line").none(), nb::arg("add_repeat_svtype").none(),
        nb::sig("def _marked_repeat_line(repeat_line: str, add_repeat_svtype: Optional[bool]) -> str"),
        "The repeat line as it is to be written: marked with \";SVTYPE=REP\" when it lacks an\n"
        "\"SVTYPE=\" (None), always (true) or never (false).");
}

void def_roh_lines_are_bed(nb::module_& m) {
    m.def(
        "_roh_lines_are_bed",
        [](nb::handle roh_lines, nb::handle declared) {
            std::string_view declared_text;
            const bool is_text = PyUnicode_Check(declared.ptr());
            if (is_text) declared_text = utf8_view(declared, "declared");
            if (is_text && (declared_text == unifier::roh_format_bed || declared_text == unifier::roh_format_vcf ||
                            declared_text == unifier::roh_format_bcftools_roh))
                return declared_text != unifier::roh_format_vcf;
            LineViews lines = line_views(roh_lines, "line");
            return unifier::roh_lines_are_bed(lines.views, nullptr);
        },
        nb::arg("roh_lines").none(), nb::arg("declared").none(),
        nb::sig("def _roh_lines_are_bed(roh_lines: Sequence[str], declared: str) -> bool"),
        "Whether ROH input is to be converted (a BED or `bcftools roh` regions): \"bed\",\n"
        "\"bcftools_roh\" or \"vcf\" decide; anything else detects a VCF by a line holding the\n"
        "full column header.");
}

void def_roh_bed_line_to_vcf(nb::module_& m) {
    m.def(
        "roh_bed_line_to_vcf",
        [](nb::handle bed_line) { return to_str(unifier::roh_bed_line_to_vcf(utf8_view(bed_line, "bed_line"))); },
        nb::arg("bed_line").none(), nb::sig("def roh_bed_line_to_vcf(bed_line: str) -> str"),
        "Convert one ROH BED interval (chrom, start, end and an optional score) into an <ROH>\n"
        "VCF record; ROH_SCORE only when the score column is there.");
}

}  // namespace callfold::py
