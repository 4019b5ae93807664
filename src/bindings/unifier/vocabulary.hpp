// The module's shared vocabulary: the file-type constants, RohFormat and the
// frozen UnifyOptions record (the host's own dataclass), and reading a UnifyOptions
// record (or any object with its fields) into the core's plain options, with the
// host's truth tests.
#pragma once

#include <nanobind/nanobind.h>

#include <string>
#include <vector>

#include "unifier/unified_writer.hpp"

namespace callfold::py {

namespace nb = nanobind;

void def_constants(nb::module_& m);
void def_roh_format(nb::module_& m);
void def_unify_options(nb::module_& m);  // after def_roh_format: its default is RohFormat.AUTO

// None / true / false as the marking mode: None detects, any other false value
// marks nothing, anything else marks every record.
unifier::RepeatMarking repeat_marking(nb::handle add_repeat_svtype);

// A false value (None, empty) gives no tokens; a single text is one token.
std::vector<std::string> filter_tokens(nb::handle tokens);

// The record rules' options of `options`; a false `options` means the defaults.
unifier::RecordOptions record_options(nb::handle options);

// The SV filter tokens of `options`; a false `options` has none.
std::vector<std::string> drop_sv_filters(nb::handle options);

}  // namespace callfold::py
