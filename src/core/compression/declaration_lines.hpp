// The declaration line written for an ID the header lacks: a well-known key
// keeps its standard definition when its values fit it, any other key gets a
// Number and Type that every one of its values satisfies.
#pragma once

#include <string>
#include <string_view>

#include "compression/reserved_keys.hpp"
#include "compression/value_evidence.hpp"

namespace callfold::compression {

inline constexpr std::string_view undeclared_description = "Not declared in the input header";

// False for an ID that cannot be written inside a declaration: empty, or
// holding whitespace or one of , < > " =.
bool declarable(std::string_view id);

// "##<kind>=<ID=...,Number=...,Type=...,Description=...>\n" for an INFO
// (flags_allowed) or FORMAT key; `reserved` is its standard definition or null.
std::string key_declaration(std::string_view kind, std::string_view id, const KeyDefinition* reserved,
                            const ValueEvidence& evidence, bool flags_allowed);

// "##<kind>=<ID=...,Description=...>\n", for FILTER values and ALT alleles.
std::string plain_declaration(std::string_view kind, std::string_view id, std::string_view description);

}  // namespace callfold::compression
