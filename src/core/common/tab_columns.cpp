#include "common/tab_columns.hpp"

namespace callfold {

std::vector<std::string_view> split_fields(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    for_each_field(line, separator, [&fields](std::string_view field) { fields.push_back(field); });
    return fields;
}

std::size_t count_fields(std::string_view line, char separator) {
    std::size_t separators = 0;
    for_each_byte(line, separator, [&separators](std::size_t) {
        ++separators;
        return true;
    });
    return separators + 1;
}

}  // namespace callfold
