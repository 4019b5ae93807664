#include "repeats/catalog.hpp"

#include <algorithm>
#include <cstring>

#include "common/int_text.hpp"
#include "common/py_whitespace.hpp"
#include "common/line_stream.hpp"
#include "common/path_text.hpp"

namespace callfold::repeats {
namespace {

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

bool is_skipped_prefix(std::string_view line) {
    return line.starts_with('#') || line.starts_with("track") || line.starts_with("browser");
}

// The first three TAB-separated columns; false when there are fewer.
bool first_three_columns(std::string_view line, std::string_view (&column)[3]) {
    std::size_t start = 0;
    for (std::size_t index = 0; index < 3; ++index) {
        if (start > line.size()) return false;
        const void* found = start < line.size() ? std::memchr(line.data() + start, '\t', line.size() - start) : nullptr;
        const std::size_t stop =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - line.data()) : line.size();
        column[index] = line.substr(start, stop - start);
        start = stop + 1;
    }
    return true;
}

}  // namespace

Catalog read_bed_intervals(const std::string& bed_path) {
    require_path_text(bed_path);
    Catalog catalog;
    std::unordered_map<std::string, std::size_t, StringHash, std::equal_to<>> slot_of;
    {
        LineStream reader(bed_path, Compression::plain);
        std::string_view line;
        std::string_view column[3];
        std::uint64_t lines_read = 0;
        for (;; ++lines_read) {
            try {
                if (!reader.next(line)) break;
            } catch (...) {
                rethrow_read_error(reader, "catalog BED", lines_read);
            }
            if (is_skipped_prefix(line) || py_strip(line).empty()) continue;
            std::string_view body = line;
            while (!body.empty() && body.back() == '\n') body.remove_suffix(1);
            if (!first_three_columns(body, column)) continue;
            const IntText start = parse_int_text(column[1]);
            const IntText end = parse_int_text(column[2]);
            if (!start.ok() || !end.ok()) continue;

            auto found = slot_of.find(column[0]);
            if (found == slot_of.end()) {
                found = slot_of.emplace(std::string(column[0]), catalog.chromosomes.size()).first;
                catalog.chromosomes.emplace_back(column[0]);
                catalog.intervals.emplace_back();
            }
            catalog.intervals[found->second].push_back({start.value, end.value});
        }
    }
    for (auto& list : catalog.intervals) std::sort(list.begin(), list.end());
    return catalog;
}

}  // namespace callfold::repeats
