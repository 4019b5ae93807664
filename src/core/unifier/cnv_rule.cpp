#include "unifier/cnv_rule.hpp"

#include <algorithm>

#include "common/vcf_text.hpp"
#include "common/errors.hpp"
#include "common/whitespace.hpp"
#include "common/tab_columns.hpp"

namespace callfold::unifier {
namespace {

constexpr std::size_t info_column = 7;
constexpr std::size_t format_column = 8;
constexpr std::size_t first_sample_column = 9;


}  // namespace

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

}  // namespace callfold::unifier
