#include "unifier/repeat_marking.hpp"

#include "common/errors.hpp"
#include "common/vcf_fields.hpp"

namespace callfold::unifier {
namespace {

constexpr std::size_t record_fields = 10;
constexpr std::size_t info_column = 7;

// INFO of a line known to have at least ten fields.
std::string_view info_of(std::string_view line) {
    std::string_view info;
    field_at(line, info_column, info);
    return info;
}

// ";SVTYPE=REP" appended to INFO, which ends at the line's eighth TAB.
std::string with_mark(std::string_view line) {
    std::size_t info_end = std::string_view::npos;
    for (std::size_t tab = 0; tab <= info_column; ++tab) info_end = line.find('\t', info_end + 1);
    std::string marked;
    marked.reserve(line.size() + 11);
    marked.append(line.substr(0, info_end));
    marked.append(";SVTYPE=REP");
    marked.append(line.substr(info_end));
    return marked;
}

}  // namespace

bool repeat_line_needs_svtype(std::string_view line) {
    return count_fields(line) >= record_fields && info_of(line).find("SVTYPE=") == std::string_view::npos;
}

std::string modify_repeat_line(std::string_view line) {
    const std::size_t fields = count_fields(line);
    if (fields != record_fields) throw UnpackError(record_fields, fields);
    return with_mark(line);
}

std::optional<std::string> marked_repeat_line(std::string_view line, RepeatMarking marking) {
    if (marking == RepeatMarking::never) return std::nullopt;
    const std::size_t fields = count_fields(line);
    if (fields < record_fields) return std::nullopt;
    if (marking == RepeatMarking::detect && info_of(line).find("SVTYPE=") != std::string_view::npos)
        return std::nullopt;
    return modify_repeat_line(line);
}

}  // namespace callfold::unifier
