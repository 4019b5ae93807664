#include "repeats/catalog.hpp"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

#include "common/errors.hpp"
#include "common/file_status.hpp"
#include "common/input_location.hpp"
#include "common/text_rules.hpp"
#include "common/line_stream.hpp"
#include "common/string_map.hpp"
#include "common/system_io.hpp"
#include "common/tab_columns.hpp"
#include "common/vcf_text.hpp"
#include "common/output_file.hpp"

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
        throw InvalidValue("catalog interval bound beyond 64 bits: " + std::string(bound));
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

bool overlaps_scan(std::span<const Interval> intervals, std::int64_t start, std::int64_t end) {
    for (const Interval& interval : intervals) {
        const ScanStep step = scan_step(interval.start, interval.end, start, end);
        if (step != ScanStep::next) return step == ScanStep::overlap;
    }
    return false;
}

OverlapIndex::OverlapIndex(std::span<const Interval> sorted_intervals) {
    starts_.reserve(sorted_intervals.size());
    running_max_end_.reserve(sorted_intervals.size());
    for (const Interval& interval : sorted_intervals) {
        starts_.push_back(interval.start);
        running_max_end_.push_back(running_max_end_.empty() ? interval.end
                                                            : std::max(running_max_end_.back(), interval.end));
    }
}

bool OverlapIndex::overlaps(std::int64_t start, std::int64_t end) const {
    const auto first_after = std::lower_bound(starts_.begin(), starts_.end(), end);
    const auto considered = first_after - starts_.begin();
    if (considered == 0) return false;
    return start < running_max_end_[static_cast<std::size_t>(considered - 1)];
}

namespace {

std::string read_text(const std::string& path) {
    LineStream reader(path, Compression::plain);
    std::string text = reader.read_rest();
    reader.close();
    return text;
}

// The text of the file at `path`, or nothing when there is none to read.
std::optional<std::string> existing_text(const std::string& path) {
    struct stat status{};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    try {
        return read_text(path);
    } catch (const SystemCallFailed&) {
        return std::nullopt;
    } catch (const InvalidUtf8&) {
        return std::nullopt;  // damaged: written anew
    }
}

void make_directories(const std::string& directory) {
    for (std::size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        const std::string part = directory.substr(0, slash);
        // Owner only, as a per-user cache is made.
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) throw SystemCallFailed(errno, part);
        if (slash == std::string::npos) return;
    }
}

}  // namespace

std::optional<std::string_view> shipped_catalog_name(std::string_view build) {
    if (build == "hg38") return "STRchive-disease-loci.hg38.TRGT.bed";
    if (build == "hg19" || build == derived_build) return "STRchive-disease-loci.hg19.TRGT.bed";
    if (build == "t2t") return "STRchive-disease-loci.T2T-chm13.TRGT.bed";
    return std::nullopt;
}

std::string known_builds() {
    std::string text;
    for (const std::string_view build : catalog_builds) text += (text.empty() ? "" : ", ") + std::string(build);
    return text;
}

std::string b37_catalog_text(std::string_view hg19_text) {
    std::string out;
    out.reserve(hg19_text.size());
    while (!hg19_text.empty()) {
        const std::size_t newline = hg19_text.find('\n');
        std::string_view line = hg19_text.substr(0, newline == std::string_view::npos ? hg19_text.size() : newline + 1);
        hg19_text.remove_prefix(line.size());
        if (line.starts_with("chrM\t")) {
            out += "MT";
            line.remove_prefix(4);
        } else if (line.starts_with("chr")) {
            line.remove_prefix(3);
        }
        out += line;
    }
    return out;
}

std::string derived_b37_catalog(const std::string& hg19_path, const std::string& directory) {
    const std::string text = b37_catalog_text(read_text(hg19_path));
    const std::string path = directory + "/" + std::string(derived_catalog_name);
    if (existing_text(path) == text) return path;
    make_directories(directory);
    // Written whole under a new name and renamed: a reader never meets half a
    // catalog, and two processes deriving at once each put a complete one in place.
    compression::DurableFile staged(path);
    write_all(staged.file().get(), text, staged.temp_path());
    staged.commit();
    return path;
}

}  // namespace callfold::repeats
