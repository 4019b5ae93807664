#include "compression/vcf_records.hpp"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "common/file_status.hpp"
#include "common/host_context.hpp"
#include "common/input_location.hpp"
#include "common/line_stream.hpp"
#include "common/parallel_ranges.hpp"
#include "common/string_map.hpp"
#include "common/tab_columns.hpp"
#include "common/text_rules.hpp"
#include "common/vcf_text.hpp"

namespace callfold::compression {
namespace {

std::string quoted(std::string_view text) {
    constexpr std::size_t shown = 60;
    std::string out = "'";
    out.append(text.substr(0, shown));
    if (text.size() > shown) out += "...";
    out += "'";
    return out;
}

// A record line's CHROM, POS and column count, checked as every reading checks them.
struct RecordFields {
    std::string_view chrom;
    std::string_view pos_text;
    std::int64_t pos = 0;
    std::size_t pos_end = 0;  // where the POS column ends in the line
    std::size_t columns = 0;
};

// `line` without its line end. Throws VcfInputError at `line_number`.
RecordFields record_fields(std::string_view line, std::uint64_t line_number) {
    const LineColumns<2> leading(line);
    if (leading.count() < 2)
        throw VcfInputError(line_number, "record has no POS column (fewer than 2 TAB-separated fields)");
    RecordFields fields;
    fields.chrom = leading[0];
    if (fields.chrom.empty()) throw VcfInputError(line_number, "record has an empty CHROM");
    fields.pos_text = leading[1];
    const IntText pos = parse_int_text(fields.pos_text);
    if (pos.status == IntText::Status::invalid)
        throw VcfInputError(line_number, "POS " + quoted(fields.pos_text) + " is not an integer");
    if (pos.status == IntText::Status::overflow)
        throw VcfInputError(line_number, "POS " + quoted(fields.pos_text) + " is out of range");
    fields.pos = pos.value;
    fields.pos_end = leading.end(1);
    fields.columns = count_fields(line);
    return fields;
}

// Writes the record of `line` (without its line end) at `out`: the line with
// its POS in plain decimal digits, and "\n"; at most line.size() + 1 bytes.
// Readers and indexers parse POS as plain decimal digits, so a POS written with
// a sign, underscores, leading zeros or spaces is written in that form: the
// position they read is then the one the records are sorted by. The digits are
// never longer than the POS text they were read from, so `out` may lie at or
// before the line itself, which is then overwritten: no byte of the line is
// read after its place in `out` was written. Returns the bytes written.
std::size_t write_record(char* out, std::string_view line, const RecordFields& fields) {
    char digits[24];
    const auto converted = std::to_chars(digits, digits + sizeof digits, fields.pos);
    const std::string_view canonical(digits, static_cast<std::size_t>(converted.ptr - digits));
    if (canonical.size() > fields.pos_text.size()) throw std::logic_error("a POS grew when written in plain digits");
    if (fields.pos_text == canonical) {
        std::memmove(out, line.data(), line.size());
        out[line.size()] = '\n';
        return line.size() + 1;
    }
    const std::size_t before_pos = fields.pos_end - fields.pos_text.size();
    const std::size_t after_pos = line.size() - fields.pos_end;
    std::memmove(out, line.data(), before_pos);
    std::memcpy(out + before_pos, canonical.data(), canonical.size());
    std::memmove(out + before_pos + canonical.size(), line.data() + fields.pos_end, after_pos);
    out[before_pos + canonical.size() + after_pos] = '\n';
    return before_pos + canonical.size() + after_pos + 1;
}

VcfInputError differing_column_header(std::uint64_t line_number, std::uint64_t first_line_number) {
    return VcfInputError(line_number, "a second column header line differs from the first (line " +
                                          std::to_string(first_line_number) + ")");
}

VcfInputError wrong_column_count(std::uint64_t line_number, std::size_t columns, std::size_t header_columns) {
    return VcfInputError(line_number, "record has " + std::to_string(columns) +
                                          " TAB-separated columns but the column header line has " +
                                          std::to_string(header_columns));
}

// What a line (without its line end) is to a reading: nothing, a header line
// (meta-information or the column header, given as `header` with its leading
// whitespace removed), or a record.
enum class LineKind { blank, meta, column_header, record };

LineKind line_kind(std::string_view line, std::string_view& header) {
    const std::string_view stripped = strip_whitespace(line);
    if (stripped.empty()) return LineKind::blank;
    if (stripped.front() != '#') return LineKind::record;
    header = lstrip_whitespace(line);
    return starts_column_header(header) ? LineKind::column_header : LineKind::meta;
}

// The column header line as collected: leading whitespace removed, one "\n".
std::string column_header_text(std::string_view header_line) {
    std::string header(header_line);
    header += '\n';
    return header;
}

}  // namespace

std::uint32_t ContigIds::id(std::string_view chrom, std::vector<std::string>& contigs) {
    std::uint32_t& cached = cached_[cache_slot(chrom)];
    if (cached != 0 && equal_short(contigs[cached - 1], chrom)) return cached - 1;
    auto found = ids_.find(chrom);
    if (found == ids_.end()) {
        const auto id = static_cast<std::uint32_t>(contigs.size());
        contigs.emplace_back(chrom);
        found = ids_.emplace(std::string(chrom), id).first;
    }
    cached = found->second + 1;
    return found->second;
}

void VcfRecordCollector::add_line(std::string_view line) {
    ++line_number_;
    line = without_line_end(line);
    std::string_view header;
    switch (line_kind(line, header)) {
        case LineKind::blank:
            return;  // blank lines carry nothing
        case LineKind::column_header:
            add_column_header(header);
            return;
        case LineKind::meta:
            // Meta lines after records (files run together, a line appended
            // later) belong to the one header block all the same.
            records_.meta.emplace_back(header).push_back('\n');
            return;
        case LineKind::record:
            break;
    }

    const RecordFields fields = record_fields(line, line_number_);
    if (records_.pos.size() == std::numeric_limits<std::uint32_t>::max())
        throw VcfInputError(line_number_, "too many records");
    if (header_columns_ != 0) {
        check_columns(line_number_, fields.columns);
    } else if (early_runs_.empty() || early_runs_.back().second != fields.columns) {
        early_runs_.emplace_back(line_number_, fields.columns);
    }

    ByteBuffer& text = records_.text;
    text.commit(write_record(text.reserve_tail(line.size() + 1), line, fields));
    records_.start.push_back(text.size());
    records_.pos.push_back(fields.pos);
    records_.contig.push_back(contig_ids_.id(fields.chrom, records_.contigs));
}

void VcfRecordCollector::add_column_header(std::string_view header_line) {
    std::string header = column_header_text(header_line);
    if (header_columns_ == 0) {
        records_.column_header = std::move(header);
        header_columns_ = count_fields(header_line);
        column_header_line_ = line_number_;
        for (const auto& [line_number, columns] : early_runs_) check_columns(line_number, columns);
        early_runs_ = {};
        return;
    }
    // A repeated column header (files run together) says nothing new.
    if (header != records_.column_header) throw differing_column_header(line_number_, column_header_line_);
}

void VcfRecordCollector::check_columns(std::uint64_t line_number, std::size_t columns) const {
    if (columns != header_columns_) throw wrong_column_count(line_number, columns, header_columns_);
}

VcfRecords VcfRecords::take_records() {
    VcfRecords part;
    part.text = std::move(text);
    part.start = std::move(start);
    part.pos = std::move(pos);
    part.contig = std::move(contig);
    part.contigs = contigs;
    text = ByteBuffer();
    start = {0};
    pos = {};
    contig = {};
    return part;
}

VcfRecords VcfRecordCollector::take_records() { return records_.take_records(); }

namespace {

// Where a VCF error at `line` (with its line end) of the file at `path` is
// reported: in the error, and around it.
[[noreturn]] void rethrow_vcf_error(VcfInputError& error, const std::string& path, std::uint64_t line_number,
                                    std::string_view line) {
    error.path = path;
    InputLocation where;
    where.input = "VCF";
    where.path = path;
    // A record may be refused later than its own line, once the column header is known.
    where.line = error.line != 0 ? error.line : line_number;
    if (where.line == line_number) where.line_start = line_start_of(line);
    rethrow_located(std::move(where));
}

VcfRecords read_records(const std::string& path, std::size_t budget,
                        const std::function<void(VcfRecords&& part, const std::vector<std::string>& meta)>* spill) {
    LineStream reader(path, Compression::detect);
    VcfRecordCollector collector;
    std::size_t file_size = 0;
    if (!reader.compressed()) {
        file_size = regular_file_size(path);
        file_size += file_size / 64 + 1;
    }
    // Under a budget, half of it holds the text of a part and the rest the
    // records' other data; the text never grows past what was set aside.
    const std::size_t text_room = spill ? budget / 2 : 0;
    const std::size_t record_limit = spill ? budget * 7 / 16 / record_overhead : 0;
    if (spill) collector.reserve_text(file_size != 0 ? std::min(file_size, text_room) : text_room);
    else if (file_size != 0) collector.reserve_text(file_size);
    std::string_view line;
    std::uint64_t number = 0;
    for (;;) {
        if (!read_located(reader, &LineStream::next, line, "VCF", number)) break;
        ++number;
        if (spill) {
            const VcfRecords& held = collector.records();
            if (held.size() != 0 && (held.text.size() + line.size() + 1 > text_room || held.size() >= record_limit)) {
                (*spill)(collector.take_records(), collector.records().meta);
                collector.reserve_text(text_room);
            }
        }
        try {
            collector.add_line(line);
        } catch (VcfInputError& error) {
            rethrow_vcf_error(error, path, number, line);
        }
    }
    return collector.take();
}

// Reading a text held whole: its records are written back over the text where
// they stand, each at or before its own line, so that a part's records end up
// packed at its start with no second copy of the text.

// Whole lines [begin, end) of the text, collected on their own.
struct TextPart {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::uint64_t first_line = 0;  // the file's line number of its first line
    std::size_t first_slot = 0;    // where its lines' entries start in the per-line vectors
    std::size_t kept = 0;          // bytes of its records, packed at `begin`
    std::size_t records = 0;
    std::vector<std::string> meta;
    std::vector<std::string> contigs;  // numbered on their own, in order of first appearance
    // POS values the narrow table cannot hold, by slot, in slot order.
    std::vector<std::pair<std::size_t, std::int64_t>> wide_positions;
};

// What the parts share: the text, the column header met before them, and an
// entry per line for the records: where each ends within its part (one entry
// on, as VcfRecords::start holds ends), its POS and contig.
struct WholeText {
    char* base;
    const std::string& path;
    const VcfRecordCollector& header;
    CompactTable<std::uint64_t>& start;
    CompactTable<std::int64_t>& pos;
    RecordTable<std::uint32_t>& contig;
};

void collect_part(TextPart& part, const WholeText& whole, const RangeStop& stop) {
    char* const base = whole.base;
    const std::string& column_header = whole.header.records().column_header;
    ContigIds contig_ids;
    std::size_t read = part.begin;
    std::size_t write = part.begin;
    std::size_t slot = part.first_slot;
    for (std::uint64_t number = part.first_line; read < part.end; ++number) {
        if (stop.due(number - part.first_line)) return;
        const char* newline = static_cast<const char*>(std::memchr(base + read, '\n', part.end - read));
        const std::string_view raw(base + read, static_cast<std::size_t>(newline - (base + read)) + 1);
        read += raw.size();
        const std::string_view line = without_line_end(raw);
        std::string_view header;
        const LineKind kind = line_kind(line, header);
        if (kind == LineKind::blank) continue;
        try {
            if (kind == LineKind::meta) {
                part.meta.emplace_back(header).push_back('\n');
                continue;
            }
            if (kind == LineKind::column_header) {
                if (column_header_text(header) != column_header)
                    throw differing_column_header(number, whole.header.column_header_line());
                continue;
            }
            const RecordFields fields = record_fields(line, number);
            if (fields.columns != whole.header.header_columns())
                throw wrong_column_count(number, fields.columns, whole.header.header_columns());
            // CHROM is looked up before the record is written over the line it points into.
            whole.contig[slot] = contig_ids.id(fields.chrom, part.contigs);
            if (!whole.pos.try_set(slot, fields.pos)) part.wide_positions.emplace_back(slot, fields.pos);
            write += write_record(base + write, line, fields);
            // The start table is wide for a text past 32 bits, so within a part an end always fits.
            whole.start.set(slot + 1, write - part.begin);
            ++slot;
        } catch (VcfInputError& error) {
            rethrow_vcf_error(error, whole.path, number, raw);
        }
    }
    part.kept = write - part.begin;
    part.records = slot - part.first_slot;
}

// Nothing when the text holds what only the line-by-line reading decides, or
// when `budget` (0: none) may not hold the text and its records' other data.
std::optional<VcfRecords> read_records_at_once(const std::string& path, std::size_t part_bytes, std::size_t budget) {
    if (!is_regular_file(path)) return std::nullopt;  // a pipe could not be read again
    ByteBuffer text;
    try {
        LineStream reader(path, Compression::detect);
        const std::size_t file_size = regular_file_size(path);
        // Under a bound, only plain text: its size is known before it is read.
        if (budget != 0 && (reader.compressed() || file_size > budget / 2)) return std::nullopt;
        // Room for the "\n" a last line may lack.
        std::optional<ByteBuffer> plain;
        if (!reader.compressed()) plain = read_plain_ascii_file(path, file_size, 1);
        text = plain ? std::move(*plain) : reader.take_rest(reader.compressed() ? 0 : file_size + 1);
    } catch (const Interrupted&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        return std::nullopt;  // the line-by-line reading says where, after any earlier error
    }
    // A last line without its "\n" is read as with it; with it, every line of a part ends in one.
    if (text.size() != 0 && text.data()[text.size() - 1] != '\n') {
        *text.reserve_tail(1) = '\n';
        text.commit(1);
    }
    char* const base = text.data();
    const std::size_t size = text.size();

    // The header: every line before the first record.
    VcfRecordCollector header;
    std::size_t body = 0;
    std::uint64_t header_lines = 0;
    while (body < size) {
        const char* newline = static_cast<const char*>(std::memchr(base + body, '\n', size - body));
        const std::string_view line(base + body, static_cast<std::size_t>(newline - (base + body)) + 1);
        std::string_view unused;
        if (line_kind(without_line_end(line), unused) == LineKind::record) break;
        try {
            header.add_line(line);
        } catch (const VcfInputError&) {
            return std::nullopt;
        }
        ++header_lines;
        body += line.size();
    }
    if (body < size && header.header_columns() == 0) return std::nullopt;

    std::vector<TextPart> parts;
    for (std::size_t begin = body; begin < size;) {
        std::size_t end = std::min(size, begin + std::max<std::size_t>(part_bytes, 1));
        end = static_cast<std::size_t>(static_cast<const char*>(std::memchr(base + end - 1, '\n', size - end + 1)) - base) + 1;
        TextPart& part = parts.emplace_back();
        part.begin = begin;
        part.end = end;
        begin = end;
    }
    // Each part's lines counted on the threads, then numbered in turn.
    std::vector<std::size_t> part_lines(parts.size());
    run_in_ranges(parts.size(), ranges_for(parts.size(), 1), [&](std::size_t first, std::size_t last, const RangeStop&) {
        for (std::size_t k = first; k < last; ++k)
            part_lines[k] = static_cast<std::size_t>(std::count(base + parts[k].begin, base + parts[k].end, '\n'));
    });
    std::uint64_t next_line = header_lines + 1;
    std::size_t slots = 0;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        parts[k].first_line = next_line;
        parts[k].first_slot = slots;
        next_line += part_lines[k];
        slots += part_lines[k];
    }
    if (slots >= std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    if (budget != 0 && size + slots * record_overhead > budget) return std::nullopt;

    // Entries are set by the parts as they collect: those of lines that are not
    // records are never set, nor read.
    CompactTable<std::uint64_t> start(slots + 1, size > std::numeric_limits<std::uint32_t>::max());
    CompactTable<std::int64_t> pos(slots, false);
    RecordTable<std::uint32_t> contig(slots);
    start.set(0, 0);
    const WholeText whole{base, path, header, start, pos, contig};
    run_in_ranges(parts.size(), ranges_for(parts.size(), 1),
                  [&](std::size_t first, std::size_t last, const RangeStop& stop) {
                      for (std::size_t k = first; k < last && !stop.requested(); ++k) collect_part(parts[k], whole, stop);
                  });

    // The parts' records moved together, in order; every entry moves down or stays.
    // Positions past 32 bits, rare as they are, go to a wide table of their own.
    std::size_t record_count = 0;
    bool wide_positions = false;
    for (const TextPart& part : parts) {
        record_count += part.records;
        wide_positions = wide_positions || !part.wide_positions.empty();
    }
    CompactTable<std::int64_t> widened;
    if (wide_positions) widened = CompactTable<std::int64_t>(record_count, true);
    CompactTable<std::int64_t>& packed_pos = wide_positions ? widened : pos;
    VcfRecords records = header.take();
    ContigIds contig_ids;
    std::vector<std::uint32_t> contig_id;
    std::size_t packed = 0;
    std::size_t count = 0;
    for (TextPart& part : parts) {
        std::move(part.meta.begin(), part.meta.end(), std::back_inserter(records.meta));
        contig_id.clear();
        for (const std::string& name : part.contigs) contig_id.push_back(contig_ids.id(name, records.contigs));
        if (part.kept != 0 && part.begin != packed) std::memmove(base + packed, base + part.begin, part.kept);
        auto wide = part.wide_positions.begin();
        for (std::size_t i = 0; i < part.records; ++i, ++count) {
            const std::size_t slot = part.first_slot + i;
            start.set(count + 1, packed + start[slot + 1]);
            if (wide != part.wide_positions.end() && wide->first == slot) packed_pos.set(count, (wide++)->second);
            else packed_pos.set(count, pos[slot]);
            contig[count] = contig_id[contig[slot]];
        }
        packed += part.kept;
    }
    text.resize_down(packed);
    start.resize(count + 1);
    if (wide_positions) pos.release();
    packed_pos.resize(count);
    contig.resize(count);
    records.text = std::move(text);
    records.start = std::move(start);
    records.pos = std::move(packed_pos);
    records.contig = std::move(contig);
    return records;
}

}  // namespace

VcfRecords read_vcf_records(const std::string& path, std::size_t part_bytes) {
    if (std::optional<VcfRecords> records = read_records_at_once(path, part_bytes, 0)) return std::move(*records);
    return read_vcf_records_by_line(path);
}

VcfRecords read_vcf_records_by_line(const std::string& path) { return read_records(path, 0, nullptr); }

std::optional<VcfRecords> read_vcf_records_within(const std::string& path, std::size_t budget) {
    return read_records_at_once(path, default_part_bytes, budget);
}

VcfRecords read_vcf_records(const std::string& path, std::size_t budget,
                            const std::function<void(VcfRecords&& part, const std::vector<std::string>& meta)>& spill) {
    return read_records(path, budget, &spill);
}

std::vector<std::uint32_t> contig_ranks(const VcfRecords& records, const std::vector<std::string>& declared) {
    StringMap<std::uint32_t> declared_rank;
    for (const std::string& id : declared)
        declared_rank.emplace(id, static_cast<std::uint32_t>(declared_rank.size()));  // first declaration wins
    auto next_rank = static_cast<std::uint32_t>(declared_rank.size());
    std::vector<std::uint32_t> ranks(records.contigs.size());
    for (std::size_t i = 0; i < records.contigs.size(); ++i) {
        const auto found = declared_rank.find(records.contigs[i]);
        ranks[i] = found != declared_rank.end() ? found->second : next_rank++;
    }
    return ranks;
}

std::vector<std::uint32_t> sorted_record_order(const VcfRecords& records, const std::vector<std::uint32_t>& rank_of_contig) {
    const std::size_t count = records.size();
    std::uint32_t rank_count = 0;
    for (const std::uint32_t rank : rank_of_contig) rank_count = std::max(rank_count, rank + 1);

    // Stable counting sort by contig rank...
    std::vector<std::size_t> bucket_start(static_cast<std::size_t>(rank_count) + 1, 0);
    for (std::size_t i = 0; i < count; ++i) ++bucket_start[rank_of_contig[records.contig[i]] + 1];
    for (std::size_t r = 0; r < rank_count; ++r) bucket_start[r + 1] += bucket_start[r];
    std::vector<std::uint32_t> order(count);
    {
        std::vector<std::size_t> fill(bucket_start.begin(), bucket_start.end() - 1);
        for (std::size_t i = 0; i < count; ++i)
            order[fill[rank_of_contig[records.contig[i]]]++] = static_cast<std::uint32_t>(i);
    }

    // ...then by POS within each contig, where it is not in order already: as
    // one 64-bit key of POS and index while positions take 32 bits, else as pairs.
    std::size_t largest = 0;
    for (std::size_t r = 0; r < rank_count; ++r) largest = std::max(largest, bucket_start[r + 1] - bucket_start[r]);
    records.pos.visit([&](const auto* pos) {
        constexpr bool narrow = sizeof(*pos) == sizeof(std::uint32_t);
        using Key = std::conditional_t<narrow, std::uint64_t, std::pair<std::int64_t, std::uint32_t>>;
        std::vector<Key> keyed;
        for (std::size_t r = 0; r < rank_count; ++r) {
            poll_interrupt();
            const auto first = order.begin() + static_cast<std::ptrdiff_t>(bucket_start[r]);
            const auto last = order.begin() + static_cast<std::ptrdiff_t>(bucket_start[r + 1]);
            if (std::is_sorted(first, last, [&](std::uint32_t a, std::uint32_t b) { return pos[a] < pos[b]; })) continue;
            if (keyed.capacity() == 0) keyed.reserve(largest);
            keyed.clear();
            for (auto it = first; it != last; ++it) {
                if constexpr (narrow) keyed.push_back(std::uint64_t{pos[*it]} << 32 | *it);
                else keyed.emplace_back(pos[*it], *it);
            }
            std::sort(keyed.begin(), keyed.end());  // index breaks ties: input order
            auto out = first;
            for (const Key& key : keyed) {
                if constexpr (narrow) *out++ = static_cast<std::uint32_t>(key);
                else *out++ = key.second;
            }
        }
    });
    return order;
}

}  // namespace callfold::compression
