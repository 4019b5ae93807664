// The standard definitions of well-known INFO and FORMAT keys and symbolic ALT
// alleles, used when a record uses one that the header does not declare.
#pragma once

#include <string_view>

namespace callfold::compression {

struct KeyDefinition {
    std::string_view id;
    std::string_view number;  // empty for ALT alleles
    std::string_view type;    // empty for ALT alleles
    std::string_view description;
};

// The standard definition of `id`, or null when it has none.
const KeyDefinition* reserved_info(std::string_view id);
const KeyDefinition* reserved_format(std::string_view id);
const KeyDefinition* reserved_alt(std::string_view id);

}  // namespace callfold::compression
