// Each operation of Callfold.unifier is defined by its own function, so that
// the module defines them in its documented order.
#pragma once

#include <nanobind/nanobind.h>

#include <string_view>
#include <vector>

namespace callfold::py {

namespace nb = nanobind;

void def_get_lines(nb::module_& m);
void def_is_empty(nb::module_& m);
void def_vcf_header_from_lines(nb::module_& m);
void def_is_valid_line(nb::module_& m);
void def_modify_repeat_line(nb::module_& m);
void def_repeat_line_needs_svtype(nb::module_& m);
void def_marked_repeat_line(nb::module_& m);
void def_roh_lines_are_bed(nb::module_& m);
void def_roh_bed_line_to_vcf(nb::module_& m);
void def_drop_sv_records_by_filter(nb::module_& m);
void def_write_vcf_content(nb::module_& m);
void def_unify_lines(nb::module_& m);
void def_read_struct_lines(nb::module_& m);
void def_run(nb::module_& m);

// A list of new str objects, one per line.
nb::list str_list(const std::vector<std::string_view>& lines);

}  // namespace callfold::py
