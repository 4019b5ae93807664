#include "repeats/overlap_index.hpp"

#include <algorithm>

namespace callfold::repeats {

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

}  // namespace callfold::repeats
