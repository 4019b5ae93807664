#include "unifier/sv_filter.hpp"

#include <set>
#include <unordered_set>

#include "common/vcf_fields.hpp"

namespace callfold::unifier {
namespace {

constexpr std::size_t filter_column = 6;

bool filter_has_token(std::string_view filter, const std::unordered_set<std::string_view>& tokens) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = filter.find(';', start);
        const std::string_view entry = filter.substr(start, end == std::string_view::npos ? end : end - start);
        if (tokens.count(entry) != 0) return true;
        if (end == std::string_view::npos) return false;
        start = end + 1;
    }
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
        const std::string_view line = lines[i];
        std::string_view filter;
        if (!line.empty() && line.front() == '#') {
            kept.push_back(i);
        } else if (!field_at(strip_trailing_newlines(line), filter_column, filter)) {
            kept.push_back(i);
        } else if (filter_has_token(filter, tokens)) {
            ++removed;
        } else {
            kept.push_back(i);
        }
    }
    if (removed > 0) {
        // std::set orders UTF-8 bytewise, which is code-point order.
        log(LogLevel::info, "Filtered %d SV records with FILTER in %s from the unified VCF",
            {removed, std::vector<std::string>(distinct.begin(), distinct.end())});
    }
    return kept;
}

}  // namespace callfold::unifier
