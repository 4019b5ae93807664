// Reading and the per-record rules: get_lines, is_empty, drop_sv_records_by_filter,
// read_struct_lines; CNV validity, repeat marking, ROH shape and conversion.
#include <nanobind/nanobind.h>

#include "common/vcf_text.hpp"
#include "host/conversions.hpp"
#include "host/python_host.hpp"
#include "operations.hpp"
#include "unifier/input_reading.hpp"
#include "unifier/record_rules.hpp"
#include "unifier/roh_input.hpp"
#include "vocabulary.hpp"

namespace callfold::py {

nb::list str_list(const std::vector<std::string_view>& lines) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(lines.size()));
    if (list == nullptr) throw nb::python_error();
    nb::list result = nb::steal<nb::list>(list);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        PyObject* text = PyUnicode_FromStringAndSize(lines[i].data(), static_cast<Py_ssize_t>(lines[i].size()));
        if (text == nullptr) throw nb::python_error();
        PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), text);
    }
    return result;
}

namespace {

// Appends each line of `run` (each with its "\n", the last may lack it) as a str.
void append_lines(nb::list& list, std::string_view run) {
    for_each_line(run, [&list](std::string_view line) {
        PyObject* text = PyUnicode_FromStringAndSize(line.data(), static_cast<Py_ssize_t>(line.size()));
        if (text == nullptr || PyList_Append(list.ptr(), text) != 0) {
            Py_XDECREF(text);
            throw nb::python_error();
        }
        Py_DECREF(text);
    });
}

}  // namespace

void def_get_lines(nb::module_& m) {
    m.def(
        "get_lines",
        [](nb::handle file_path) {
            const std::string path = path_argument(file_path, "file_path");
            // The list is built as the text is decoded, so the whole text is
            // never held besides the list.
            nb::list result;
            const unifier::LineSink sink{
                [&result] {
                    nb::gil_scoped_acquire gil;
                    result = nb::list();
                },
                [&result](std::string_view run) {
                    nb::gil_scoped_acquire gil;
                    append_lines(result, run);
                },
            };
            run_released([&] { unifier::stream_lines(path, sink); });
            return result;
        },
        nb::arg("file_path").none(), nb::sig("def get_lines(file_path: str | os.PathLike[str]) -> List[str]"),
        "Read a plain or gzip-compressed text file into its lines, each with its \"\\n\".\n\n"
        "The file is first read as gzip (all members of a BGZF file in turn); when that fails\n"
        "for any reason it is read again as plain UTF-8, whose errors reach the caller.");
}

void def_is_empty(nb::module_& m) {
    m.def(
        "is_empty",
        [](nb::handle lines) {
            for (nb::handle line : lines)
                if (unifier::is_record_line(utf8_view(line, "line"))) return false;
            return true;
        },
        nb::arg("lines").none(), nb::sig("def is_empty(lines: Iterable[str]) -> bool"),
        "Whether the lines hold no record: only header lines (\"#\" after stripping) and blank lines.");
}

void def_drop_sv_records_by_filter(nb::module_& m) {
    m.def(
        "drop_sv_records_by_filter",
        [](nb::handle lines, nb::handle filter_tokens) {
            const std::vector<std::string> tokens = py::filter_tokens(filter_tokens);
            if (tokens.empty()) {
                PyObject* copy = PySequence_List(lines.ptr());
                if (copy == nullptr) throw nb::python_error();
                return nb::steal<nb::list>(copy);
            }
            LineViews views = line_views(lines, "line");
            const std::vector<std::size_t> kept =
                run_released([&] { return unifier::kept_sv_lines(views.views, tokens); });
            nb::list result;
            for (const std::size_t index : kept) result.append(views.owners[index]);
            return result;
        },
        nb::arg("lines").none(), nb::arg("filter_tokens").none(),
        nb::sig("def drop_sv_records_by_filter(lines: Sequence[str], filter_tokens: Sequence[str]) -> List[str]"),
        "Leave out the SV records whose FILTER carries one of the tokens as a whole entry.\n\n"
        "Header lines and lines too short to have a FILTER field always stay; the lines that\n"
        "stay are the very input texts, in order. A single text is one token.");
}

void def_read_struct_lines(nb::module_& m) {
    m.def(
        "read_struct_lines",
        [](nb::handle struct_files, nb::handle options) {
            unifier::InputPaths paths;
            nb::object get = struct_files.attr("get");
            for (std::size_t type = 0; type < unifier::file_type_count; ++type) {
                nb::object path = get(to_str(unifier::file_type_keys[type]));
                if (!path.is_none()) paths[type] = path_argument(path, "path");
            }
            const std::vector<std::string> tokens = drop_sv_filters(options);
            unifier::InputLines inputs =
                run_released([&] { return unifier::read_struct_lines(paths, tokens); });
            nb::dict result;
            for (std::size_t type = 0; type < unifier::file_type_count; ++type) {
                nb::str key = to_str(unifier::file_type_keys[type]);
                if (inputs[type]) {
                    result[key] = str_list(inputs[type]->lines);
                    inputs[type].reset();
                } else {
                    result[key] = nb::none();
                }
            }
            return result;
        },
        nb::arg("struct_files").none(), nb::arg("options").none() = nb::none(),
        nb::sig("def read_struct_lines(struct_files: collections.abc.Mapping[str, str | os.PathLike[str] | None], "
                "options: Optional[UnifyOptions] = None) "
                "-> Dict[str, Optional[List[str]]]"),
        "Read every present input in the order sv, cnv, repeats, roh into its lines.\n\n"
        "SV lines lose the records dropped by options.drop_sv_filters. An input with no path,\n"
        "or with nothing but headers, is reported by a warning and maps to None.");
}

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
