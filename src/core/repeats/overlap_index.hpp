// Overlap of a half-open record span [start, end) with the intervals of one
// chromosome: interval_start < end and start < interval_end.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "repeats/catalog.hpp"

namespace callfold::repeats {

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

private:
    std::vector<std::int64_t> starts_;
    std::vector<std::int64_t> running_max_end_;  // max end over intervals [0, i]
};

}  // namespace callfold::repeats
