#include "unifier/repeat_marking.hpp"

#include "common/errors.hpp"
#include "common/tab_columns.hpp"

namespace callfold::unifier {
namespace {

constexpr std::size_t record_fields = 10;
constexpr std::size_t info_column = 7;
using RecordColumns = LineColumns<record_fields>;

bool info_has_svtype(const RecordColumns& columns) {
    return columns[info_column].find("SVTYPE=") != std::string_view::npos;
}

// ";SVTYPE=REP" appended to INFO, which ends at the line's eighth TAB. Further
// sample columns are kept as they are: the sample-column check has already
// matched them to the header.
std::string with_mark(const RecordColumns& columns) {
    if (columns.count() < record_fields) throw UnpackError(record_fields, columns.count());
    const std::string_view line = columns.line();
    const std::size_t info_end = columns.end(info_column);
    std::string marked;
    marked.reserve(line.size() + 11);
    marked.append(line.substr(0, info_end));
    marked.append(";SVTYPE=REP");
    marked.append(line.substr(info_end));
    return marked;
}

}  // namespace

bool repeat_line_needs_svtype(std::string_view line) {
    const RecordColumns columns(line);
    return columns.count() >= record_fields && !info_has_svtype(columns);
}

std::string modify_repeat_line(std::string_view line) { return with_mark(RecordColumns(line)); }

std::optional<std::string> marked_repeat_line(std::string_view line, RepeatMarking marking) {
    if (marking == RepeatMarking::never) return std::nullopt;
    const RecordColumns columns(line);
    if (columns.count() < record_fields) return std::nullopt;
    if (marking == RepeatMarking::detect && info_has_svtype(columns)) return std::nullopt;
    return with_mark(columns);
}

}  // namespace callfold::unifier
