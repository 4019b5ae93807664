// The catalog BED as per-chromosome interval lists.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace callfold::repeats {

struct Interval {
    std::int64_t start;
    std::int64_t end;
    friend bool operator<(const Interval& a, const Interval& b) {
        return a.start != b.start ? a.start < b.start : a.end < b.end;
    }
};

// Chromosomes in the order the catalog first names them, each with its
// intervals sorted by start and then end (duplicates kept).
struct Catalog {
    std::vector<std::string> chromosomes;
    std::vector<std::vector<Interval>> intervals;  // parallel to `chromosomes`
};

// Reads the BED at `bed_path` as plain UTF-8 text. Lines that are blank, start
// with "#", "track" or "browser", have fewer than 3 TAB-separated columns, or
// whose start or end is not integer text are skipped. Throws SystemCallFailed, and
// InvalidUtf8 or InvalidValue (a bound beyond 64 bits) located at its line.
Catalog read_bed_intervals(const std::string& bed_path);

// Overlap of a half-open record span [start, end) with the intervals of one
// chromosome: interval_start < end and start < interval_end.

// The reference rule on a list sorted by start: walk from the first interval,
// stop at the first that starts at or after `end`, true at the first whose end
// lies after `start`.
bool overlaps_scan(std::span<const Interval> intervals, std::int64_t start, std::int64_t end);

// One interval of that walk: an overlap, the end of the walk, or on to the next.
// Any values with >= and < are judged by it, so that a caller holding numbers
// of another kind (beyond 64 bits) applies the same rule.
enum class ScanStep { overlap, past_end, next };
template <class Value>
ScanStep scan_step(const Value& interval_start, const Value& interval_end, const Value& start, const Value& end) {
    if (interval_start >= end) return ScanStep::past_end;
    if (start < interval_end) return ScanStep::overlap;
    return ScanStep::next;
}

// The same answer by bisection: the scan looks at exactly the intervals before
// the first one starting at or after `end`, and succeeds when one of them ends
// after `start`, i.e. when the largest end among them does. Intervals are not
// merged, so touching intervals and empty or inverted spans are judged exactly
// as the scan judges them.
class OverlapIndex {
public:
    explicit OverlapIndex(std::span<const Interval> sorted_intervals);
    bool overlaps(std::int64_t start, std::int64_t end) const;
    // No span starting at or after this overlaps (the largest end).
    std::int64_t span_start_limit() const { return running_max_end_.empty() ? INT64_MIN : running_max_end_.back(); }

private:
    std::vector<std::int64_t> starts_;
    std::vector<std::int64_t> running_max_end_;  // max end over intervals [0, i]
};

// The disease-locus catalogs by reference build. hg38, hg19 and T2T-CHM13 are
// shipped as files; b37 (GRCh37 named "1".."22", "X", "Y", "MT") is derived
// from the hg19 file when asked for, so that the two can never drift apart.

inline constexpr std::array<std::string_view, 4> catalog_builds = {"hg38", "hg19", "b37", "t2t"};
inline constexpr std::string_view derived_build = "b37";
inline constexpr std::string_view derived_build_source = "hg19";
inline constexpr std::string_view derived_catalog_name = "STRchive-disease-loci.b37.TRGT.bed";

// The shipped file name of a build's catalog (b37: its hg19 source); nothing
// for a name that is no build.
std::optional<std::string_view> shipped_catalog_name(std::string_view build);

// "hg38, hg19, b37, t2t".
std::string known_builds();

// The hg19 catalog's text renamed as b37: "chr" removed from the chromosome of
// every interval line, "chrM" as "MT"; other lines (comments, track) unchanged.
std::string b37_catalog_text(std::string_view hg19_text);

// The b37 catalog derived from the hg19 file at `hg19_path`, at
// `directory`/derived_catalog_name: written (under a temporary name, then
// renamed) unless the file there already holds exactly the derived text, which
// is checked on every call. `directory` is created when missing. Returns the
// path. Throws SystemCallFailed and InvalidUtf8.
std::string derived_b37_catalog(const std::string& hg19_path, const std::string& directory);

}  // namespace callfold::repeats
