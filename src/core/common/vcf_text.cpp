#include "common/vcf_text.hpp"

#include <algorithm>

namespace callfold {

std::vector<std::string_view> split_lines(std::string_view text) {
    // Sized once: a vector grown by doubling leaves its outgrown buffers in the
    // heap, resident, as much again as the views themselves.
    std::vector<std::string_view> lines;
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    for_each_line(text, [&lines](std::string_view line) { lines.push_back(line); });
    return lines;
}

std::string_view without_line_end(std::string_view line, LineEnd kind) {
    const bool returns = kind == LineEnd::newline_or_return;
    while (!line.empty() && (line.back() == '\n' || (returns && line.back() == '\r'))) line.remove_suffix(1);
    return line;
}

StructuredFields::StructuredFields(std::string_view line, std::string_view prefix) {
    if (!line.starts_with(prefix)) return;
    of_kind_ = true;
    body_ = without_line_end(line.substr(prefix.size()), LineEnd::newline_or_return);
    if (!body_.empty() && body_.back() == '>') body_.remove_suffix(1);
}

bool StructuredFields::next(StructuredField& field) {
    std::size_t i = position_;
    if (i >= body_.size()) return false;
    const std::size_t key_start = i;
    while (i < body_.size() && body_[i] != '=' && body_[i] != ',') ++i;
    field.key = body_.substr(key_start, i - key_start);
    field.value.clear();
    if (i < body_.size() && body_[i] == '=') {
        ++i;
        if (i < body_.size() && body_[i] == '"') {
            ++i;
            while (i < body_.size() && body_[i] != '"') {
                if (body_[i] == '\\' && i + 1 < body_.size()) ++i;
                field.value += body_[i++];
            }
            if (i < body_.size()) ++i;  // closing quote
            while (i < body_.size() && body_[i] != ',') ++i;
        } else {
            const std::size_t value_start = i;
            while (i < body_.size() && body_[i] != ',') ++i;
            field.value.assign(body_.substr(value_start, i - value_start));
        }
    }
    field.text = body_.substr(key_start, i - key_start);
    position_ = i < body_.size() ? i + 1 : i;  // past the comma
    return true;
}

bool structured_value(std::string_view line, std::string_view prefix, std::string_view key, std::string& value) {
    StructuredFields fields(line, prefix);
    StructuredField field;
    while (fields.next(field)) {
        if (field.key == key) {
            value = std::move(field.value);
            return true;
        }
    }
    return false;
}

}  // namespace callfold
