#include "vocabulary.hpp"

#include "common/vcf_text.hpp"
#include "host/conversions.hpp"
#include "unifier/input_reading.hpp"

namespace callfold::py {

void def_constants(nb::module_& m) {
    using unifier::FileType;
    const auto& keys = unifier::file_type_keys;
    m.attr("SV") = to_str(keys[FileType::sv]);
    m.attr("CNV") = to_str(keys[FileType::cnv]);
    m.attr("REPEATS") = to_str(keys[FileType::repeats]);
    m.attr("ROH") = to_str(keys[FileType::roh]);
    m.attr("FILE_TYPES") = nb::make_tuple(m.attr("SV"), m.attr("CNV"), m.attr("REPEATS"), m.attr("ROH"));
    m.attr("_VCF_COLUMN_HEADER") = to_str(sample_column_header);
}

void def_roh_format(nb::module_& m) {
    nb::dict members;
    members["__module__"] = m.attr("__name__");
    members["__qualname__"] = "RohFormat";
    members["__doc__"] = "How a caller's ROH input arrives.";
    members["AUTO"] = to_str(unifier::roh_format_auto);
    members["BED"] = to_str(unifier::roh_format_bed);
    members["VCF"] = to_str(unifier::roh_format_vcf);
    members["BCFTOOLS_ROH"] = to_str(unifier::roh_format_bcftools_roh);
    nb::object type = nb::borrow(reinterpret_cast<PyObject*>(&PyType_Type));
    m.attr("RohFormat") = type("RohFormat", nb::make_tuple(), members);
}

void def_unify_options(nb::module_& m) {
    nb::module_ dataclasses = nb::module_::import_("dataclasses");
    nb::module_ typing = nb::module_::import_("typing");
    nb::object optional_bool = typing.attr("Optional")[nb::borrow(reinterpret_cast<PyObject*>(&PyBool_Type))];
    nb::object sequence_of_str = typing.attr("Sequence")[nb::borrow(reinterpret_cast<PyObject*>(&PyUnicode_Type))];
    nb::object str_type = nb::borrow(reinterpret_cast<PyObject*>(&PyUnicode_Type));
    nb::object tuple_type = nb::borrow(reinterpret_cast<PyObject*>(&PyTuple_Type));

    nb::list fields;
    fields.append(nb::make_tuple("add_repeat_svtype", optional_bool, nb::none()));
    fields.append(nb::make_tuple("roh_format", str_type, m.attr("RohFormat").attr("AUTO")));
    fields.append(nb::make_tuple("drop_sv_filters", sequence_of_str,
                                 dataclasses.attr("field")(nb::arg("default_factory").none() = tuple_type)));
    fields.append(nb::make_tuple("allow_build_mismatch", nb::borrow(reinterpret_cast<PyObject*>(&PyBool_Type)),
                                 nb::bool_(true)));
    nb::dict namespace_;
    namespace_["__doc__"] = "Per-caller differences in how the inputs are read.";
    namespace_["__module__"] = m.attr("__name__");

    nb::object options = dataclasses.attr("make_dataclass")("UnifyOptions", fields, nb::arg("namespace").none() = namespace_,
                                                             nb::arg("frozen").none() = true);
    options.attr("__module__") = m.attr("__name__");
    m.attr("UnifyOptions") = options;
}

unifier::RepeatMarking repeat_marking(nb::handle add_repeat_svtype) {
    if (add_repeat_svtype.is_none()) return unifier::RepeatMarking::detect;
    return is_true(add_repeat_svtype) ? unifier::RepeatMarking::always : unifier::RepeatMarking::never;
}

std::vector<std::string> filter_tokens(nb::handle tokens) {
    std::vector<std::string> result;
    if (!is_true(tokens)) return result;
    if (PyUnicode_Check(tokens.ptr())) {
        result.emplace_back(utf8_view(tokens, "filter token"));
        return result;
    }
    for (nb::handle token : tokens) result.emplace_back(utf8_view(token, "filter token"));
    return result;
}

unifier::RecordOptions record_options(nb::handle options) {
    unifier::RecordOptions result;  // detection for both, as UnifyOptions() has it
    if (!is_true(options)) return result;
    result.repeat_marking = repeat_marking(options.attr("add_repeat_svtype"));
    nb::object roh_format = options.attr("roh_format");
    if (PyUnicode_Check(roh_format.ptr())) result.roh_format = std::string(utf8_view(roh_format, "roh_format"));
    // An options object of an older shape has no such field: mismatches are then allowed, as by default.
    nb::object allow = nb::getattr(options, "allow_build_mismatch", nb::bool_(true));
    result.allow_build_mismatch = is_true(allow);
    return result;
}

std::vector<std::string> drop_sv_filters(nb::handle options) {
    if (!is_true(options)) return {};
    return filter_tokens(options.attr("drop_sv_filters"));
}

}  // namespace callfold::py
