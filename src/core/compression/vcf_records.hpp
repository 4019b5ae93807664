// Reading a VCF for sorting: every line is classified (meta-information, column
// header, blank, record), and records are checked against the column header and
// packed into one buffer with their CHROM and POS.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/byte_source.hpp"
#include "common/errors.hpp"
#include "common/string_map.hpp"
#include "compression/record_tables.hpp"

namespace callfold::compression {

struct VcfRecords {
    // Header lines other than the column header, in input order wherever they
    // stood, leading whitespace removed so that each begins with "#", each
    // ending in one "\n".
    std::vector<std::string> meta;
    // The column header line in the same form; empty when there was none.
    std::string column_header;
    // Record lines back to back, each ending in exactly one "\n";
    // record i is text[start[i], start[i + 1]).
    ByteBuffer text;
    CompactTable<std::uint64_t> start{0};
    CompactTable<std::int64_t> pos;
    // Contig of each record as an index into `contigs`, which lists CHROM
    // values in order of first appearance.
    RecordTable<std::uint32_t> contig;
    std::vector<std::string> contigs;

    std::size_t size() const { return start.size() - 1; }
    // The records (text, start, pos, contig, and a copy of contigs) as a part of
    // their own, leaving none here and the header as it is.
    VcfRecords take_records();
    std::string_view record(std::size_t i) const {
        return std::string_view(text.data() + start[i], start[i + 1] - start[i]);
    }
};

// Numbers the contigs of records in order of first appearance.
class ContigIds {
public:
    // The number of `chrom`, added to `contigs` when it is new there.
    std::uint32_t id(std::string_view chrom, std::vector<std::string>& contigs);

private:
    // The contigs met, by a hash of a name's length and last bytes: most
    // records find theirs here without the whole name being hashed.
    static constexpr std::size_t cache_slots = 64;
    static std::size_t cache_slot(std::string_view chrom) {
        const auto last = [&](std::size_t back) {
            return chrom.size() > back ? static_cast<unsigned char>(chrom[chrom.size() - 1 - back]) : 0u;
        };
        return (chrom.size() * 7 + last(0) * 31 + last(1)) % cache_slots;
    }
    StringMap<std::uint32_t> ids_;
    std::array<std::uint32_t, cache_slots> cached_{};  // a contig's number + 1; 0 for none
};

// Collects lines one at a time (each with or without its "\n"). Throws
// VcfInputError for a record without CHROM or integer POS, a record with another
// number of columns than the column header, or a second column header that
// differs from the first (an identical one is dropped). Records read before the
// column header are checked when it arrives; without one they stay unchecked.
class VcfRecordCollector {
public:
    void add_line(std::string_view line);
    VcfRecords take() { return std::move(records_); }
    // The records collected so far (text, start, pos, contig, and a copy of
    // contigs), leaving the header and the contigs met for the lines to come.
    VcfRecords take_records();
    // Room for `bytes` of record text in all.
    void reserve_text(std::size_t bytes) {
        if (bytes > records_.text.size()) records_.text.reserve_tail(bytes - records_.text.size());
    }
    const VcfRecords& records() const { return records_; }
    // Columns of the column header and its line number; 0 before it is read.
    std::size_t header_columns() const { return header_columns_; }
    std::uint64_t column_header_line() const { return column_header_line_; }

private:
    void add_column_header(std::string_view header_line);
    void check_columns(std::uint64_t line_number, std::size_t columns) const;

    VcfRecords records_;
    std::size_t header_columns_ = 0;  // 0 until the column header is read
    std::uint64_t column_header_line_ = 0;
    // Records before the column header, as runs of equal column counts: the
    // line number where each run starts and its count.
    std::vector<std::pair<std::uint64_t, std::size_t>> early_runs_;
    ContigIds contig_ids_;
    std::uint64_t line_number_ = 0;
};

// Reads the file at `path` (plain text, or gzip when it starts with the gzip
// magic) as strict UTF-8 with universal newlines. The text is read whole and its
// records collected where they stand, in parts of about `part_bytes` on as many
// threads as thread_cap() allows; the records, or the error, are those that
// read_vcf_records_by_line gives.
inline constexpr std::size_t default_part_bytes = std::size_t{8} << 20;
VcfRecords read_vcf_records(const std::string& path, std::size_t part_bytes = default_part_bytes);

// The same, a line at a time on one thread through VcfRecordCollector: the
// reading whose errors come first in the file by definition.
VcfRecords read_vcf_records_by_line(const std::string& path);

// The same, for records that may not fit in `budget` bytes: whenever the
// records read (with what sorting them needs) would take more, they are handed
// to `spill` as a part (VcfRecordCollector::take_records), with the meta lines
// read so far, and reading goes on.
// Returns the header, every contig, and the records after the last part.
VcfRecords read_vcf_records(const std::string& path, std::size_t budget,
                            const std::function<void(VcfRecords&& part, const std::vector<std::string>& meta)>& spill);

// read_vcf_records for a sort within `budget` bytes: the records, when the
// file is plain text no larger than half the budget whose records, at
// record_overhead each beside their text, fit it; nothing when they may not or
// when only the line-by-line reading decides (read them then with the reading
// that spills).
std::optional<VcfRecords> read_vcf_records_within(const std::string& path, std::size_t budget);

// What a record costs beside its text while its part is read and sorted:
// start, pos and contig (room for twice as many as held), its span, its place
// in the order and its sort key.
inline constexpr std::size_t record_overhead = 96;

// The order of a sort: contigs ranked as the header declares them, records
// by (contig rank, POS), ties kept in input order.

// Rank of every contig of `records`: the IDs in `declared` first, in their
// order, then the undeclared contigs in order of first appearance.
std::vector<std::uint32_t> contig_ranks(const VcfRecords& records, const std::vector<std::string>& declared);

// Record indices ordered by (rank of their contig, POS), ties in input order.
std::vector<std::uint32_t> sorted_record_order(const VcfRecords& records, const std::vector<std::uint32_t>& rank_of_contig);

}  // namespace callfold::compression
