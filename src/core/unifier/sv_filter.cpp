#include "unifier/sv_filter.hpp"

#include <set>
#include <unordered_set>

#include "common/vcf_text.hpp"
#include "common/tab_columns.hpp"

namespace callfold::unifier {
namespace {

constexpr std::size_t filter_column = 6;

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
                                       const std::vector<std::string>& filter_tokens, const LogSink& log) {
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
        log(LogLevel::info, "Filtered %d SV records with FILTER in %s from the unified VCF",
            {removed, std::vector<std::string>(distinct.begin(), distinct.end())});
    }
    return kept;
}

}  // namespace callfold::unifier
