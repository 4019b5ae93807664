#include "unifier/record_rules.hpp"

#include <algorithm>
#include <set>
#include <unordered_set>

#include "common/errors.hpp"
#include "common/tab_columns.hpp"
#include "common/text_rules.hpp"
#include "common/vcf_text.hpp"

namespace callfold::unifier {
bool is_valid_cnv_line(std::string_view line) {
    if (!line.empty() && line.front() == '#') return true;
    // A blank line is no record; it is kept like the empty text and dropped later
    // by the sorting step.
    if (strip_whitespace(line).empty()) return true;

    const LineColumns<first_sample_column + 1> cells(line);
    if (cells.count() <= first_sample_column) throw MissingField(std::max(info_column, cells.count()), cells.count());
    const std::string_view info = cells[info_column];
    const std::string_view format = cells[format_column];
    const std::string_view sample = cells[first_sample_column];

    if (info.find("SVTYPE=") != std::string_view::npos) return true;

    const std::vector<std::string_view> keys = split_fields(format, ':');
    std::size_t gt_index = keys.size();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == "GT") {
            gt_index = i;
            break;
        }
    }
    if (gt_index == keys.size()) throw MissingKey("GT");

    const std::vector<std::string_view> values = split_fields(sample, ':');
    if (gt_index >= values.size()) throw MissingField(gt_index, values.size());
    // The genotype is judged without the line terminator that a last column carries.
    return without_line_end(values[gt_index], LineEnd::newline_or_return) != "./.";
}

namespace {


bool filter_has_token(std::string_view filter, const std::unordered_set<std::string_view>& tokens) {
    bool found = false;
    for_each_field(filter, ';', [&](std::string_view entry) { found = found || tokens.count(entry) != 0; });
    return found;
}

// A record (not a header line) whose FILTER field carries one of `tokens`.
bool is_removed(std::string_view line, const std::unordered_set<std::string_view>& tokens) {
    if (!line.empty() && line.front() == '#') return false;
    const LineColumns<filter_column + 1> columns(without_line_end(line));
    return columns.count() > filter_column && filter_has_token(columns[filter_column], tokens);
}

}  // namespace

std::vector<std::size_t> kept_sv_lines(const std::vector<std::string_view>& lines,
                                       const std::vector<std::string>& filter_tokens) {
    std::vector<std::size_t> kept;
    kept.reserve(lines.size());
    if (filter_tokens.empty()) {
        for (std::size_t i = 0; i < lines.size(); ++i) kept.push_back(i);
        return kept;
    }
    const std::set<std::string> distinct(filter_tokens.begin(), filter_tokens.end());
    const std::unordered_set<std::string_view> tokens(distinct.begin(), distinct.end());
    std::int64_t removed = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (is_removed(lines[i], tokens))
            ++removed;
        else
            kept.push_back(i);
    }
    if (removed > 0) {
        // std::set orders UTF-8 bytewise, which is code-point order.
        log_event(LogLevel::info, "Filtered %d SV records with FILTER in %s from the unified VCF",
            {removed, std::vector<std::string>(distinct.begin(), distinct.end())});
    }
    return kept;
}

namespace {

constexpr std::size_t record_fields = 10;
using RecordColumns = LineColumns<record_fields>;

bool info_has_svtype(const RecordColumns& columns) {
    return columns[info_column].find("SVTYPE=") != std::string_view::npos;
}

// ";SVTYPE=REP" appended to INFO, which ends at the line's eighth TAB. Further
// sample columns are kept as they are: the sample-column check has already
// matched them to the header.
std::string with_mark(const RecordColumns& columns) {
    if (columns.count() < record_fields) throw WrongFieldCount(record_fields, columns.count());
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
