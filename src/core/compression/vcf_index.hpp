// The tabix index of the sorted VCF, built while it is written: each record's
// span is read from the input text beforehand, its offsets come from the bytes
// written before it, and the virtual offsets from where the writer put each
// BGZF block, so the file is never read back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compression/bgzf_writer.hpp"
#include "compression/binning_index.hpp"
#include "compression/vcf_index_span.hpp"
#include "compression/vcf_records.hpp"

namespace callfold::compression {

enum class IndexKind { tbi, csi };

struct VcfIndex {
    IndexKind kind;
    std::string content;  // the index file before BGZF compression
};

// ".tbi" or ".csi", appended to the compressed file's name.
std::string_view index_suffix(IndexKind kind);

// The span of every record of `records`, in input order (through the text as
// it lies in memory, not in the order written; on a large input in ranges read
// at once). Throws VcfInputError (no path) for the first record holding a NUL
// byte, which index readers take for the end of a column, or reaching beyond
// what any index can describe (2^41).
std::vector<IndexSpan> vcf_index_spans(const VcfRecords& records);

// The index that `tabix -p vcf` (TBI) or `tabix --csi -p vcf` would build: TBI
// unless `csi` is asked for or a record ends beyond what TBI can describe
// (position 2^29).
class VcfIndexBuilder {
public:
    // `header_bytes`: the uncompressed size of the header, where records begin;
    // `spans`: those of vcf_index_spans(records). Both are kept by reference.
    VcfIndexBuilder(std::uint64_t header_bytes, const VcfRecords& records, const std::vector<IndexSpan>& spans,
                    bool csi);

    // Record `i` of the records, as it is written, in file order (the records of
    // each CHROM together, by POS).
    void add(std::size_t i);

    // The index, once `writer` (which wrote the header and the records) has finished.
    VcfIndex finish(const BgzfWriter& writer);

private:
    VcfIndexBuilder(std::uint64_t header_bytes, const VcfRecords& records, const std::vector<IndexSpan>& spans,
                    int depth);

    const VcfRecords& records_;
    const std::vector<IndexSpan>& spans_;
    IndexKind kind_;
    BinningIndex index_;
    std::uint64_t offset_;  // uncompressed offset of the next record
    std::vector<std::string> names_;  // reference names in file order
    std::uint32_t last_contig_ = 0;    // the contig of names_.back()
};

}  // namespace callfold::compression
