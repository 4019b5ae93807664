#include "compression/vcf_index.hpp"

#include <algorithm>

#include "common/errors.hpp"
#include "common/parallel_ranges.hpp"

namespace callfold::compression {
namespace {

constexpr int min_shift = 14;
constexpr int tbi_depth = 5;
// Deeper hierarchies number their bins past what readers compute in 32-bit ints.
constexpr int deepest = 9;
// htslib's CSI depth when no contig length is declared: room for 2^38 positions.
constexpr int csi_depth_unsized = 8;
// htslib sizes a CSI for the longest contig plus this margin.
constexpr std::int64_t contig_margin = 256;
// Below this many records a second thread costs more than it saves.
constexpr std::size_t records_per_thread = 250000;

// How a record's line is read: a VCF, names in column 1, positions in column 2,
// the end from REF, INFO END and SVLEN, header lines starting with '#', no lines skipped.
constexpr std::int32_t tabix_vcf_format = 2;
constexpr std::int32_t tabix_conf[] = {tabix_vcf_format, 1, 2, 0, '#', 0};

void append_i32(std::string& out, std::int64_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xff));
}

// The tabix header after the reference count: configuration, then the names.
std::string tabix_meta(const std::vector<std::string>& names) {
    std::string out;
    for (const std::int32_t value : tabix_conf) append_i32(out, value);
    std::int64_t names_size = 0;
    for (const std::string& name : names) names_size += static_cast<std::int64_t>(name.size()) + 1;
    append_i32(out, names_size);
    for (const std::string& name : names) {
        out += name;
        out.push_back('\0');
    }
    return out;
}

std::string where(const VcfRecords& records, std::size_t index) {
    return records.contigs[records.contig[index]] + ":" + std::to_string(records.pos[index]);
}

std::int64_t furthest_end(const std::vector<IndexSpan>& spans) {
    std::int64_t furthest = 0;
    for (const IndexSpan& span : spans) furthest = std::max(furthest, span.end);
    return furthest;
}

std::int64_t longest_declared_contig(const std::vector<std::string_view>& header_lines) {
    std::int64_t longest = 0;
    for (const std::string_view line : header_lines) longest = std::max(longest, indexed_contig_length(line));
    return longest;
}

}  // namespace

std::string_view index_suffix(IndexKind kind) { return kind == IndexKind::tbi ? ".tbi" : ".csi"; }

void check_indexable_header(const std::vector<std::string_view>& header_lines) {
    for (const std::string_view line : header_lines) {
        const std::size_t nul = line.find('\0');
        if (nul == std::string_view::npos) continue;
        constexpr std::size_t shown = 40;
        throw VcfInputError(0, "the header line starting \"" + std::string(line.substr(0, std::min(nul, shown))) +
                                   "\" holds a NUL byte, which readers take for the end of the header; "
                                   "the file cannot be indexed");
    }
}

std::vector<IndexSpan> vcf_index_spans(const VcfRecords& records) {
    std::vector<IndexSpan> spans(records.size());
    const auto read = [&](std::size_t begin, std::size_t end, const RangeStop& stop) {
        for (std::size_t i = begin; i < end; ++i) {
            if (stop.due(i - begin)) return;
            const std::string_view record = records.record(i);
            if (record.find('\0') != std::string_view::npos)
                throw VcfInputError(0, "the record at " + where(records, i) +
                                           " holds a NUL byte, which index readers take for the end of a column; "
                                           "the file cannot be indexed");
            spans[i] = vcf_index_span(record);
            if (spans[i].end > BinningIndex::max_end(min_shift, deepest))
                throw VcfInputError(0, "the record at " + where(records, i) + " ends at " +
                                           std::to_string(spans[i].end) +
                                           ", beyond the positions an index can describe (up to 2^41)");
        }
    };
    run_in_ranges(records.size(), ranges_for(records.size(), records_per_thread), read);
    return spans;
}

VcfIndexBuilder::VcfIndexBuilder(const VcfRecords& records, const std::vector<IndexSpan>& spans,
                                 const std::vector<std::string_view>& header_lines, bool csi)
    : VcfIndexBuilder(&records, &spans, shape_for(furthest_end(spans), header_lines, csi)) {}

VcfIndexBuilder::VcfIndexBuilder(std::int64_t furthest, const std::vector<std::string_view>& header_lines, bool csi)
    : VcfIndexBuilder(nullptr, nullptr, shape_for(furthest, header_lines, csi)) {}

// The CSI that htslib builds for a header whose longest contig is declared: 6
// levels of 2^14 positions, more levels while the contig does not fit, and past
// 9 levels larger windows; 8 levels when no length is declared. Records reaching
// further still, which htslib refuses to index, get more levels.
VcfIndexBuilder::Shape VcfIndexBuilder::shape_for(std::int64_t furthest, const std::vector<std::string_view>& header_lines,
                                                  bool csi) {
    if (!csi && furthest <= BinningIndex::max_end(min_shift, tbi_depth)) return {min_shift, 0};
    Shape shape{min_shift, csi_depth_unsized};
    if (const std::int64_t longest = longest_declared_contig(header_lines); longest > 0) {
        const std::int64_t needed = longest + contig_margin;
        shape.depth = 6;
        if (needed <= BinningIndex::max_end(min_shift, deepest)) {
            while (needed > BinningIndex::max_end(min_shift, shape.depth)) ++shape.depth;
        } else {
            shape.depth = deepest;
            // Past 2^62 positions the offsets' arithmetic would overflow.
            while (needed > BinningIndex::max_end(shape.min_shift, deepest) && shape.min_shift + 3 * deepest < 62)
                ++shape.min_shift;
        }
    }
    while (furthest > BinningIndex::max_end(shape.min_shift, shape.depth) && shape.depth < deepest) ++shape.depth;
    return shape;
}

VcfIndexBuilder::VcfIndexBuilder(const VcfRecords* records, const std::vector<IndexSpan>* spans, Shape shape)
    : records_(records),
      spans_(spans),
      kind_(shape.depth == 0 ? IndexKind::tbi : IndexKind::csi),
      index_(shape.min_shift, shape.depth == 0 ? tbi_depth : shape.depth) {}

void VcfIndexBuilder::add_span(std::uint32_t contig, const std::vector<std::string>& contigs, const IndexSpan& span,
                               std::uint64_t begin, std::uint64_t end) {
    if (names_.empty() || contig != last_contig_) {
        names_.push_back(contigs[contig]);
        last_contig_ = contig;
    }
    index_.add(static_cast<std::uint32_t>(names_.size() - 1), span, begin, end);
}

VcfIndex VcfIndexBuilder::finish(const BgzfWriter& writer) {
    index_.finish([&writer](std::uint64_t offset) { return writer.virtual_offset(offset); });
    const std::string meta = tabix_meta(names_);
    return {kind_, kind_ == IndexKind::tbi ? index_.tbi(meta) : index_.csi(meta)};
}

}  // namespace callfold::compression
