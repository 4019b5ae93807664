// The tabix index of the sorted VCF, built from what the writer knows: where
// each record starts and ends in the uncompressed stream and where each BGZF
// block starts in the file, so the file is never read back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compression/bgzf_writer.hpp"
#include "compression/vcf_index_span.hpp"
#include "compression/vcf_sorting.hpp"

namespace callfold::compression {

enum class IndexKind { tbi, csi };

struct VcfIndex {
    IndexKind kind;
    std::string content;  // the index file before BGZF compression
};

// ".tbi" or ".csi", appended to the compressed file's name.
std::string_view index_suffix(IndexKind kind);

// The index that `tabix -p vcf` (TBI) or `tabix --csi -p vcf` would build for
// the file `writer` wrote and finished: the header in its first `header_bytes`
// bytes, then the records of `records` in `order`, `spans[i]` being the span of
// the i-th one written. TBI unless `csi` is asked for or a record ends beyond
// what TBI can describe (position 2^29). Throws VcfInputError (no path) for a
// record holding a NUL byte, which index readers take for the end of a column,
// or reaching beyond what any index can describe (position 2^41).
VcfIndex build_vcf_index(const VcfRecords& records, const std::vector<std::uint32_t>& order,
                         const std::vector<IndexSpan>& spans, std::uint64_t header_bytes, const BgzfWriter& writer,
                         bool csi);

}  // namespace callfold::compression
