#include "unifier/repeat_marking.hpp"

#include "common/errors.hpp"
#include "common/vcf_fields.hpp"

namespace callfold::unifier {
namespace {

constexpr std::size_t record_fields = 10;
constexpr std::size_t info_column = 7;

}  // namespace

bool repeat_line_needs_svtype(std::string_view line) {
    std::string_view info;
    if (count_fields(line) < record_fields || !field_at(line, info_column, info)) return false;
    return info.find("SVTYPE=") == std::string_view::npos;
}

std::string modify_repeat_line(std::string_view line) {
    const std::size_t fields = count_fields(line);
    if (fields != record_fields) throw UnpackError(record_fields, fields);
    // INFO ends at the TAB that opens FORMAT: the eighth TAB of the line.
    std::size_t info_end = 0;
    for (std::size_t tab = 0; tab <= info_column; ++tab) info_end = line.find('\t', tab == 0 ? 0 : info_end + 1);
    std::string marked;
    marked.reserve(line.size() + 11);
    marked.append(line.substr(0, info_end));
    marked.append(";SVTYPE=REP");
    marked.append(line.substr(info_end));
    return marked;
}

std::optional<std::string> marked_repeat_line(std::string_view line, RepeatMarking marking) {
    if (marking == RepeatMarking::never) return std::nullopt;
    if (count_fields(line) < record_fields) return std::nullopt;
    if (marking == RepeatMarking::detect && !repeat_line_needs_svtype(line)) return std::nullopt;
    return modify_repeat_line(line);
}

}  // namespace callfold::unifier
