// Where a tabix index places a VCF record: the 0-based, half-open interval that
// `tabix -p vcf` gives the record's line, so that region queries through an
// index written here find the records tabix itself would.
#pragma once

#include <cstdint>
#include <string_view>

namespace callfold::compression {

struct IndexSpan {
    std::int64_t beg;
    std::int64_t end;
};

// The span of `record` (a record line, with or without its "\n"): beg is
// POS - 1, or 0 for a POS below 1; end is beg plus the length of REF (beg + 1
// when REF is empty or missing), or INFO END where END lies beyond beg. POS and
// END are read as C's strtoll reads them with base 0, as tabix does ("0x10" is
// 16, "010" is 8, values past 64 bits saturate).
IndexSpan vcf_index_span(std::string_view record);

}  // namespace callfold::compression
