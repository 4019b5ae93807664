// What records use: the INFO and FORMAT keys, FILTER values and symbolic ALT
// alleles they name, with the evidence of the keys' values, kept apart from
// what the header declares.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "compression/used_ids.hpp"

namespace callfold::compression {

class RecordUsage {
public:
    explicit RecordUsage(const std::vector<std::string>& header, bool remember_recent = true);

    // One record line, with or without its "\n".
    void scan(std::string_view record);

    // Adds what `later` (over records that follow these) found.
    void merge(const RecordUsage& later);

    // A declaration line for each declarable ID used but not declared: INFO,
    // FORMAT, FILTER, then ALT, each kind in order of first use.
    void append_lines(std::vector<std::string>& lines) const;

private:
    void scan_alt(std::string_view alt);
    void scan_filter(std::string_view filter);
    void scan_info(std::string_view info);
    void scan_format(std::string_view format, std::string_view samples, bool have_samples);

    UsedIds info_, format_, filter_, alt_;
    std::vector<std::size_t> keys_;  // per FORMAT key: its evidence, or declared_index
    std::string last_declared_format_;
};

}  // namespace callfold::compression
