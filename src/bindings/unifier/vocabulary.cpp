#include "common/vcf_text.hpp"
#include "vocabulary.hpp"

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

}  // namespace callfold::py
