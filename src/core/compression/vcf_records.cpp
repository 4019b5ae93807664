#include "compression/vcf_records.hpp"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <limits>
#include <utility>

#include "common/file_status.hpp"
#include "common/host_context.hpp"
#include "common/input_location.hpp"
#include "common/line_stream.hpp"
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

}  // namespace

void VcfRecordCollector::add_line(std::string_view line) {
    ++line_number_;
    line = without_line_end(line);
    const std::string_view stripped = strip_whitespace(line);
    if (stripped.empty()) return;  // blank lines carry nothing
    if (stripped.front() == '#') {
        const std::string_view header = lstrip_whitespace(line);
        if (starts_column_header(header)) {
            add_column_header(header);
        } else {
            // Meta lines after records (files run together, a line appended
            // later) belong to the one header block all the same.
            records_.meta.emplace_back(header).push_back('\n');
        }
        return;
    }

    const LineColumns<2> leading(line);
    if (leading.count() < 2)
        throw VcfInputError(line_number_, "record has no POS column (fewer than 2 TAB-separated fields)");
    const std::string_view chrom = leading[0];
    if (chrom.empty()) throw VcfInputError(line_number_, "record has an empty CHROM");
    const std::string_view pos_text = leading[1];
    const IntText pos = parse_int_text(pos_text);
    if (pos.status == IntText::Status::invalid)
        throw VcfInputError(line_number_, "POS " + quoted(pos_text) + " is not an integer");
    if (pos.status == IntText::Status::overflow)
        throw VcfInputError(line_number_, "POS " + quoted(pos_text) + " is out of range");
    if (records_.pos.size() == std::numeric_limits<std::uint32_t>::max())
        throw VcfInputError(line_number_, "too many records");
    const std::size_t columns = count_fields(line);
    if (header_columns_ != 0) {
        check_columns(line_number_, columns);
    } else if (early_runs_.empty() || early_runs_.back().second != columns) {
        early_runs_.emplace_back(line_number_, columns);
    }

    // Readers and indexers parse POS as plain decimal digits, so a POS written
    // with a sign, underscores, leading zeros or spaces is written in that form:
    // the position they read is then the one the records are sorted by.
    char digits[24];
    const auto converted = std::to_chars(digits, digits + sizeof digits, pos.value);
    const std::string_view canonical(digits, static_cast<std::size_t>(converted.ptr - digits));
    std::string& text = records_.text;
    if (pos_text == canonical) {
        text.append(line);
    } else {
        text.append(line.substr(0, leading.end(0) + 1));
        text.append(canonical);
        text.append(line.substr(leading.end(1)));
    }
    text += '\n';
    records_.start.push_back(text.size());
    records_.pos.push_back(pos.value);

    // Records of one contig usually come together: check the previous one first.
    if (!have_last_contig_ || records_.contigs[last_contig_] != chrom) {
        auto found = contig_ids_.find(chrom);
        if (found == contig_ids_.end()) {
            const auto id = static_cast<std::uint32_t>(records_.contigs.size());
            records_.contigs.emplace_back(chrom);
            found = contig_ids_.emplace(std::string(chrom), id).first;
        }
        last_contig_ = found->second;
        have_last_contig_ = true;
    }
    records_.contig.push_back(last_contig_);
}

void VcfRecordCollector::add_column_header(std::string_view header_line) {
    std::string header(header_line);
    header += '\n';
    if (header_columns_ == 0) {
        records_.column_header = std::move(header);
        header_columns_ = count_fields(header_line);
        column_header_line_ = line_number_;
        for (const auto& [line_number, columns] : early_runs_) check_columns(line_number, columns);
        early_runs_ = {};
        return;
    }
    // A repeated column header (files run together) says nothing new.
    if (header != records_.column_header)
        throw VcfInputError(line_number_, "a second column header line differs from the first (line " +
                                              std::to_string(column_header_line_) + ")");
}

void VcfRecordCollector::check_columns(std::uint64_t line_number, std::size_t columns) const {
    if (columns != header_columns_)
        throw VcfInputError(line_number, "record has " + std::to_string(columns) +
                                             " TAB-separated columns but the column header line has " +
                                             std::to_string(header_columns_));
}

VcfRecords VcfRecords::take_records() {
    VcfRecords part;
    part.text = std::move(text);
    part.start = std::move(start);
    part.pos = std::move(pos);
    part.contig = std::move(contig);
    part.contigs = contigs;
    text = std::string();
    start = {0};
    pos = {};
    contig = {};
    return part;
}

VcfRecords VcfRecordCollector::take_records() { return records_.take_records(); }

namespace {

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
            error.path = path;
            InputLocation where;
            where.input = "VCF";
            where.path = path;
            // A record may be refused later than its own line, once the column header is known.
            where.line = error.line != 0 ? error.line : number;
            if (where.line == number) where.line_start = line_start_of(line);
            rethrow_located(std::move(where));
        }
    }
    return collector.take();
}

}  // namespace

VcfRecords read_vcf_records(const std::string& path) { return read_records(path, 0, nullptr); }

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

    // ...then by POS within each contig, where it is not in order already.
    std::vector<std::pair<std::int64_t, std::uint32_t>> keyed;
    for (std::size_t r = 0; r < rank_count; ++r) {
        poll_interrupt();
        const auto first = order.begin() + static_cast<std::ptrdiff_t>(bucket_start[r]);
        const auto last = order.begin() + static_cast<std::ptrdiff_t>(bucket_start[r + 1]);
        const bool in_order = std::is_sorted(
            first, last, [&](std::uint32_t a, std::uint32_t b) { return records.pos[a] < records.pos[b]; });
        if (in_order) continue;
        keyed.clear();
        for (auto it = first; it != last; ++it) keyed.emplace_back(records.pos[*it], *it);
        std::sort(keyed.begin(), keyed.end());  // index breaks ties: input order
        auto out = first;
        for (const auto& entry : keyed) *out++ = entry.second;
    }
    return order;
}

}  // namespace callfold::compression
