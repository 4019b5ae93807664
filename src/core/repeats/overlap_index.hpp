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
