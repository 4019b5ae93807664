#include "repeats/output_name.hpp"

#include <string_view>

namespace callfold::repeats {
namespace {

struct Split {
    std::string_view root;
    std::string_view extension;  // from the last dot, dot included; may be empty
};

// os.path.splitext on a name without separators.
Split split_extension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {name, {}};
    for (std::size_t i = 0; i < dot; ++i)
        if (name[i] != '.') return {name.substr(0, dot), name.substr(dot)};
    return {name, {}};
}

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

std::string_view without_compression_suffix(std::string_view name) {
    for (const std::string_view suffix : {std::string_view(".gz"), std::string_view(".bgz")})
        if (ends_with_ignoring_case(name, suffix)) return name.substr(0, name.size() - suffix.size());
    return name;
}

// The stem before "_filtered.vcf".
std::string_view filtered_stem(std::string_view name) {
    std::string_view remaining = name;
    for (;;) {
        const Split split = split_extension(remaining);
        if (split.extension == ".vcf") return split.root;
        // Without an extension the name no longer changes: there is no ".vcf" to reach.
        if (split.extension.empty()) return without_compression_suffix(name);
        remaining = split.root;
    }
}

}  // namespace

std::string filtered_repeat_path(const std::string& full_repeat_path) {
    // os.path.split: the directory keeps a run of leading separators only when
    // it is nothing but separators; trailing ones are dropped otherwise.
    const std::string_view path(full_repeat_path);
    const std::size_t last = path.rfind('/');
    const std::string_view name = last == std::string_view::npos ? path : path.substr(last + 1);
    std::string_view directory = last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
    if (directory.find_first_not_of('/') != std::string_view::npos)
        while (directory.ends_with('/')) directory.remove_suffix(1);

    std::string result(directory);
    if (!result.empty() && !result.ends_with('/')) result += '/';
    result += filtered_stem(name);
    result += "_filtered.vcf";
    return result;
}

}  // namespace callfold::repeats
