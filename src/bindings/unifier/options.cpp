#include "options.hpp"

#include "host/conversions.hpp"

namespace callfold::py {

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
