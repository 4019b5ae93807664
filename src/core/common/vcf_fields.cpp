#include "common/vcf_fields.hpp"

#include <algorithm>
#include <cstring>

namespace callfold {

std::vector<std::string_view> split_fields(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        if (end == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
}

bool field_at(std::string_view line, std::size_t index, std::string_view& field, char separator) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t end = line.find(separator, start);
        if (end == std::string_view::npos) return false;
        start = end + 1;
    }
    const std::size_t end = line.find(separator, start);
    field = line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    return true;
}

std::size_t count_fields(std::string_view line, char separator) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), separator)) + 1;
}

std::string_view strip_trailing_newlines(std::string_view line) {
    while (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    return line;
}

}  // namespace callfold
