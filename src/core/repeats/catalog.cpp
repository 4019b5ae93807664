#include "repeats/catalog.hpp"

#include <algorithm>

#include "common/vcf_text.hpp"
#include "common/errors.hpp"
#include "common/input_location.hpp"
#include "common/int_text.hpp"
#include "common/whitespace.hpp"
#include "common/line_stream.hpp"
#include "common/file_status.hpp"
#include "common/string_map.hpp"
#include "common/tab_columns.hpp"

namespace callfold::repeats {
namespace {

bool is_skipped_prefix(std::string_view line) {
    return line.starts_with('#') || line.starts_with("track") || line.starts_with("browser");
}

// A bound that is integer text but beyond 64 bits names a locus no interval
// here can hold: skipping it would lose the locus without a word.
[[noreturn]] void refuse_wide_bound(const std::string& path, std::uint64_t line_number, std::string_view line,
                                    std::string_view bound) {
    InputLocation where;
    where.input = "catalog BED";
    where.path = path;
    where.line = line_number;
    where.line_start = line_start_of(line);
    try {
        throw ValueError("catalog interval bound beyond 64 bits: " + std::string(bound));
    } catch (...) {
        rethrow_located(std::move(where));
    }
}

}  // namespace

Catalog read_bed_intervals(const std::string& bed_path) {
    require_path_text(bed_path);
    Catalog catalog;
    StringMap<std::size_t> slot_of;
    {
        LineStream reader(bed_path, Compression::plain);
        std::string_view line;
        std::uint64_t lines_read = 0;
        for (;; ++lines_read) {
            if (!read_located(reader, &LineStream::next, line, "catalog BED", lines_read)) break;
            if (is_skipped_prefix(line) || strip_whitespace(line).empty()) continue;
            const LineColumns<3> column(without_line_end(line));
            if (column.count() < 3) continue;
            const IntText start = parse_int_text(column[1]);
            const IntText end = parse_int_text(column[2]);
            if (start.status == IntText::Status::overflow && end.status != IntText::Status::invalid)
                refuse_wide_bound(bed_path, lines_read + 1, line, column[1]);
            if (end.status == IntText::Status::overflow && start.status != IntText::Status::invalid)
                refuse_wide_bound(bed_path, lines_read + 1, line, column[2]);
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
