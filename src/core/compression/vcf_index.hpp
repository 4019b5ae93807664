// The tabix index of the sorted VCF, built while it is written: each record's
// span is read from the input text beforehand, its offsets are where the BGZF
// writer put it, and the virtual offsets where the writer put each block, so the
// file is never read back.
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

// Throws VcfInputError (no path) for a header line holding a NUL byte: readers
// stop reading the header there, and then cannot open the file.
void check_indexable_header(const std::vector<std::string_view>& header_lines);

// The span of every record of `records`, in input order (through the text as
// it lies in memory, not in the order written; on a large input in ranges read
// at once). Throws VcfInputError (no path) for the first record holding a NUL
// byte, which index readers take for the end of a column, or reaching beyond
// what any index can describe (2^41).
std::vector<IndexSpan> vcf_index_spans(const VcfRecords& records);

// The index that current tabix (`-p vcf`, or `--csi -p vcf`) builds: TBI unless
// `csi` is asked for or a record ends beyond what TBI can describe (position
// 2^29); a CSI as deep as the longest declared contig needs (8 levels when no
// contig length is declared), and deeper where a record reaches further, which
// htslib would refuse to index.
class VcfIndexBuilder {
public:
    // `spans`: those of vcf_index_spans(records), kept by reference like the
    // records; `header_lines`: the header as written, whose "##contig" lengths
    // size a CSI as htslib sizes it.
    VcfIndexBuilder(const VcfRecords& records, const std::vector<IndexSpan>& spans,
                    const std::vector<std::string_view>& header_lines, bool csi);

    // For records not held in memory, given one at a time to add_span:
    // `furthest` is the furthest end of their spans.
    VcfIndexBuilder(std::int64_t furthest, const std::vector<std::string_view>& header_lines, bool csi);

    // Record `i` of the records, in file order (the records of each CHROM
    // together, by POS), which the writer put at its uncompressed bytes
    // [begin, end) (BgzfWriter::uncompressed_size before and after).
    void add(std::size_t i, std::uint64_t begin, std::uint64_t end) {
        add_span(records_->contig[i], records_->contigs, (*spans_)[i], begin, end);
    }
    // The same for a record on contigs[contig] with `span`.
    void add_span(std::uint32_t contig, const std::vector<std::string>& contigs, const IndexSpan& span,
                  std::uint64_t begin, std::uint64_t end);

    // The index, once `writer` (which wrote the header and the records) has finished.
    VcfIndex finish(const BgzfWriter& writer);

private:
    struct Shape {
        int min_shift;
        int depth;
    };
    VcfIndexBuilder(const VcfRecords* records, const std::vector<IndexSpan>* spans, Shape shape);
    // TBI (depth 0) or the CSI's window size and depth.
    static Shape shape_for(std::int64_t furthest_end, const std::vector<std::string_view>& header_lines, bool csi);

    const VcfRecords* records_;
    const std::vector<IndexSpan>* spans_;
    IndexKind kind_;
    BinningIndex index_;
    std::vector<std::string> names_;  // reference names in file order
    std::uint32_t last_contig_ = 0;    // the contig of names_.back()
};

}  // namespace callfold::compression
