// The catalog BED as per-chromosome interval lists.
#pragma once

#include <cstdint>
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
// whose start or end is not integer text are skipped. Throws OsError, and
// DecodeError or ValueError (a bound beyond 64 bits) located at its line.
Catalog read_bed_intervals(const std::string& bed_path);

}  // namespace callfold::repeats
