// The catalog reader on arbitrary BED text, and the bisection index against the
// reference linear scan on the intervals it read, for spans taken from the input.
#include <cstring>

#include "common/errors.hpp"
#include "fuzz_input_file.hpp"
#include "repeats/catalog.hpp"

namespace r = callfold::repeats;
using callfold::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first 16 bytes choose the span; the rest is the BED.
    if (size < 16) return 0;
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::memcpy(&start, data, 8);
    std::memcpy(&end, data + 8, 8);
    start %= 1000;
    end %= 1000;
    const callfold::fuzz::InputFile bed(data + 16, size - 16, ".bed");
    r::Catalog catalog;
    try {
        catalog = r::read_bed_intervals(bed.path());
    } catch (const callfold::InputLocation& where) {
        // Undecodable text, or a bound that is integer text beyond 64 bits.
        callfold::fuzz::require_located<callfold::InvalidUtf8, callfold::InvalidValue>(where);
        return 0;
    }
    require(catalog.chromosomes.size() == catalog.intervals.size());
    for (const auto& intervals : catalog.intervals) {
        for (std::size_t i = 1; i < intervals.size(); ++i) require(!(intervals[i] < intervals[i - 1]));
        const r::OverlapIndex index(intervals);
        for (std::int64_t shift = -3; shift <= 3; ++shift)
            require(index.overlaps(start + shift, end) == r::overlaps_scan(intervals, start + shift, end));
    }
    return 0;
}
