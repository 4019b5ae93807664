#include "compression/vcf_index.hpp"

#include <algorithm>
#include <cstring>

#include "common/errors.hpp"
#include "common/interruption.hpp"
#include "compression/binning_index.hpp"

namespace callfold::compression {
namespace {

constexpr int min_shift = 14;
constexpr int tbi_depth = 5;
// tabix's own CSI depth for contigs up to 2^32; deeper only when a record reaches further.
constexpr int csi_depth = 6;
// Deeper hierarchies number their bins past what readers compute in 32-bit ints.
constexpr int deepest = 9;
constexpr std::size_t poll_every = 65536;

// How a record's line is read: a VCF, names in column 1, positions in column 2,
// the end from REF and INFO END, header lines starting with '#', no lines skipped.
constexpr std::int32_t tabix_vcf_format = 2;
constexpr std::int32_t tabix_conf[] = {tabix_vcf_format, 1, 2, 0, '#', 0};

std::string where(const VcfRecords& records, std::uint32_t index) {
    return records.contigs[records.contig[index]] + ":" + std::to_string(records.pos[index]);
}

void append_i32(std::string& out, std::int64_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xff));
}

// The tabix header after the reference count: configuration, then the names.
std::string tabix_meta(const std::vector<std::string_view>& names) {
    std::string out;
    for (const std::int32_t value : tabix_conf) append_i32(out, value);
    std::int64_t names_size = 0;
    for (const std::string_view name : names) names_size += static_cast<std::int64_t>(name.size()) + 1;
    append_i32(out, names_size);
    for (const std::string_view name : names) {
        out.append(name);
        out.push_back('\0');
    }
    return out;
}

void refuse_nul(const VcfRecords& records) {
    const char* nul = static_cast<const char*>(std::memchr(records.text.data(), '\0', records.text.size()));
    if (nul == nullptr) return;
    const auto at = static_cast<std::uint64_t>(nul - records.text.data());
    const auto index = static_cast<std::uint32_t>(std::upper_bound(records.start.begin(), records.start.end(), at) -
                                                  records.start.begin() - 1);
    throw VcfInputError(0, "the record at " + where(records, index) +
                               " holds a NUL byte, which index readers take for the end of a column; "
                               "the file cannot be indexed");
}

}  // namespace

std::string_view index_suffix(IndexKind kind) { return kind == IndexKind::tbi ? ".tbi" : ".csi"; }

VcfIndex build_vcf_index(const VcfRecords& records, const std::vector<std::uint32_t>& order,
                         const std::vector<IndexSpan>& spans, std::uint64_t header_bytes, const BgzfWriter& writer,
                         bool csi) {
    refuse_nul(records);

    std::size_t furthest = 0;
    for (std::size_t i = 1; i < spans.size(); ++i)
        if (spans[i].end > spans[furthest].end) furthest = i;
    const std::int64_t max_end = spans.empty() ? 0 : spans[furthest].end;
    int depth = tbi_depth;
    if (csi || max_end > BinningIndex::max_end(min_shift, tbi_depth)) {
        depth = csi_depth;
        while (depth <= deepest && max_end > BinningIndex::max_end(min_shift, depth)) ++depth;
        if (depth > deepest)
            throw VcfInputError(0, "the record at " + where(records, order[furthest]) + " ends at " +
                                       std::to_string(max_end) +
                                       ", beyond the positions an index can describe (up to 2^41)");
    }
    const IndexKind kind = depth == tbi_depth ? IndexKind::tbi : IndexKind::csi;

    BinningIndex index(min_shift, depth);
    std::vector<std::string_view> names;
    std::uint32_t previous_contig = 0;
    std::uint64_t offset = header_bytes;
    std::uint64_t start = writer.virtual_offset(offset);
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i % poll_every == 0) poll_interrupt();
        const std::uint32_t record = order[i];
        const std::uint32_t contig = records.contig[record];
        if (names.empty() || contig != previous_contig) {
            names.push_back(records.contigs[contig]);
            previous_contig = contig;
        }
        offset += records.start[record + 1] - records.start[record];
        const std::uint64_t stop = writer.virtual_offset(offset);
        index.add(static_cast<std::uint32_t>(names.size() - 1), spans[i], start, stop);
        start = stop;
    }
    index.finish();
    const std::string meta = tabix_meta(names);
    return {kind, kind == IndexKind::tbi ? index.tbi(meta) : index.csi(meta)};
}

}  // namespace callfold::compression
