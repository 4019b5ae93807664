#include "compression/sort_and_compress.hpp"

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

#include "common/parallel_ranges.hpp"
#include "compression/bgzf_writer.hpp"
#include "common/output_file.hpp"
#include "compression/declarations.hpp"
#include "compression/sorted_runs.hpp"
#include "compression/vcf_records.hpp"
#include "compression/vcf_index.hpp"

namespace callfold::compression {
namespace {

constexpr std::size_t prefetch_distance = 16;
constexpr std::string_view default_fileformat_line = "##fileformat=VCFv4.2\n";

// Both files reach their names, the index after the data it describes; if
// either fails, neither stays.
void commit_with_index(DurableFile& output, std::optional<DurableFile>& index) {
    try {
        output.commit();
        if (index) index->commit();
    } catch (...) {
        if (index) {
            if (output.committed()) ::unlink(output.final_path().c_str());
            if (index->committed()) ::unlink(index->final_path().c_str());
        }
        throw;
    }
}

// Without its column header line a file is not a VCF that readers accept,
// and there is no place for the declarations the records may need.
void require_column_header(const VcfRecords& records, const std::string& path) {
    if (!records.column_header.empty()) return;
    VcfInputError error(0, "no \"#CHROM\" column header line; the file cannot be written as an indexable VCF");
    error.path = path;
    throw error;
}

// The header as written: readers identify a VCF by a first line that states its format.
std::vector<std::string_view> header_as_written(const VcfRecords& records, const std::vector<std::string>& declarations) {
    std::vector<std::string_view> header;
    if (!has_fileformat(records.meta)) header.push_back(default_fileformat_line);
    header.insert(header.end(), records.meta.begin(), records.meta.end());
    header.insert(header.end(), declarations.begin(), declarations.end());
    header.push_back(records.column_header);
    return header;
}

void check_header_for_index(const std::vector<std::string_view>& header, const std::string& path) {
    try {
        check_indexable_header(header);
    } catch (VcfInputError& error) {
        error.path = path;
        throw;
    }
}

// The compressed file (and its index) written, put in place of any earlier
// ones, and the input removed.
struct Output {
    Output(const std::string& input_path, const SortAndCompressOptions& sort_options)
        : input(input_path), options(sort_options), path(input + ".gz"), file(path) {}

    const std::string& input;
    const SortAndCompressOptions& options;
    std::string path;
    DurableFile file;
    std::optional<DurableFile> index_file;

    void write_index(VcfIndexBuilder& indexer, const BgzfWriter& writer) {
        const VcfIndex index = indexer.finish(writer);
        index_file.emplace(path + std::string(index_suffix(index.kind)));
        BgzfWriter index_writer(index_file->file(), index_file->temp_path(), bgzf_threads_for(index.content.size()),
                                options.level);
        index_writer.write(index.content);
        index_writer.finish();
    }

    SortedFiles commit() {
        // An index from an earlier run describes other data: it goes before the new
        // file takes the name, so the two never stand side by side.
        for (const IndexKind kind : {IndexKind::tbi, IndexKind::csi})
            remove_file_if_present(path + std::string(index_suffix(kind)));
        commit_with_index(file, index_file);
        remove_file(input);
        return {file.final_path(), index_file ? index_file->final_path() : std::string()};
    }
};

// The declarations the header lacks and the order to write the records in:
// neither needs the other, so with a second core they are worked out side by
// side. The order is made on this thread, where an interrupt is noticed and
// where its tables reuse memory freed earlier in the process (made on another
// thread they came from an arena of its own, 2.5 MiB more at the peak of a
// whole run); the scan, beside it, on threads of its own within the same cap,
// as the BGZF writer's workers compress beside the thread that fills them.
struct DeclarationsAndOrder {
    std::vector<std::string> declarations;
    std::vector<std::uint32_t> order;
};

DeclarationsAndOrder declarations_and_order(const VcfRecords& records) {
    DeclarationsAndOrder result;
    const auto cap = static_cast<unsigned>(thread_cap());
    run_in_ranges(2, cap >= 2 ? 2 : 1, [&](std::size_t first, std::size_t last, const RangeStop&) {
        for (std::size_t task = first; task < last; ++task) {
            if (task == 0) {
                result.order = sorted_record_order(records, contig_ranks(records, declared_contigs(records.meta)));
            } else {
                const ThreadCap same_cap(cap);
                result.declarations = missing_declarations(records.meta, records);
            }
        }
    });
    return result;
}

// Once the records are ordered, an unindexed sort needs only their text and
// where each starts: positions and contigs give their memory back before the
// writer's blocks take theirs (the heap trimmed, since tables of this size may
// lie within it rather than in a mapping of their own).
void release_positions(VcfRecords& records) {
    records.pos.release();
    RecordTable<std::uint32_t>().swap(records.contig);
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

SortedFiles sort_in_memory(const std::string& path, VcfRecords&& records, const SortAndCompressOptions& options) {
    require_column_header(records, path);
    const auto [declarations, order] = declarations_and_order(records);
    const std::vector<std::string_view> header = header_as_written(records, declarations);

    const bool indexing = options.index || options.csi;
    // Read in input order, the text's own: in the order written the lines lie
    // all over memory, and reading them there would stall on every one.
    std::vector<IndexSpan> spans;
    if (indexing) {
        check_header_for_index(header, path);
        try {
            spans = vcf_index_spans(records);
        } catch (VcfInputError& error) {
            error.path = path;
            throw;
        }
    } else {
        release_positions(records);
    }

    std::size_t total = records.text.size();
    for (const std::string_view line : header) total += line.size();

    Output output(path, options);
    {
        BgzfWriter writer(output.file.file(), output.file.temp_path(), bgzf_threads_for(total), options.level);
        for (const std::string_view line : header) writer.write(line);
        std::optional<VcfIndexBuilder> indexer;
        if (indexing) indexer.emplace(records, spans, header, options.csi);
        for (std::size_t i = 0; i < order.size(); ++i) {
            // Records are written in sorted order, from all over memory: asking
            // for a record's line and span (and, earlier still, for where the
            // line starts) ahead of its turn lets the loads overlap instead of
            // each stalling the loop. (In the loop itself: GCC drops a call to a
            // function that only prefetches.)
            if (i + 2 * prefetch_distance < order.size())
                __builtin_prefetch(records.start.address(order[i + 2 * prefetch_distance]));
            if (i + prefetch_distance < order.size()) {
                const std::uint32_t ahead = order[i + prefetch_distance];
                __builtin_prefetch(records.text.data() + records.start[ahead]);
                __builtin_prefetch(records.text.data() + records.start[ahead] + 64);
                if (indexer) __builtin_prefetch(&spans[ahead]);
            }
            const std::string_view line = records.record(order[i]);
            const std::uint64_t begin = writer.uncompressed_size();
            writer.write(line);
            if (indexer) indexer->add(order[i], begin, writer.uncompressed_size());
        }
        writer.finish();
        if (indexer) output.write_index(*indexer, writer);
    }
    return output.commit();
}

// Records beyond the memory budget: sorted a part at a time into runs, whose
// merge writes the same file as sort_in_memory. Whatever needs every record
// (the declarations, the furthest span) is gathered part by part; a part's
// span error waits until the whole input is read, so that the error reported
// is the one sort_in_memory reports.
// A part is sorted and written as a run on a thread of its own while the next
// part is read: one after the other, the run's compression left the reading's
// core idle, and the reading the compressing ones. Two parts are then held at
// once, so each is read within half the budget (parts_budget).
class SpillingSort {
public:
    SpillingSort(const std::string& path, const SortAndCompressOptions& options)
        : path_(path), options_(options), indexing_(options.index || options.csi) {}
    ~SpillingSort() {
        if (pending_.joinable()) pending_.join();
    }
    SpillingSort(const SpillingSort&) = delete;
    SpillingSort& operator=(const SpillingSort&) = delete;

    static std::size_t parts_budget(std::size_t max_memory) { return std::max<std::size_t>(max_memory / 2, 1); }

    bool spilled() const { return runs_.has_value(); }

    void add(VcfRecords&& part, const std::vector<std::string>& meta) {
        if (!runs_) runs_.emplace(options_.temp_dir.empty() ? directory_of(path_) : options_.temp_dir, indexing_);
        wait_for_pending();
        record_bytes_ += part.text.size();
        if (span_error_) return;  // the work fails; only reading goes on, for an earlier error
        const auto cap = static_cast<unsigned>(thread_cap());
        if (cap <= 1) {  // one thread asked for: the part is sorted and written before reading goes on
            sort_part(part, meta);
            return;
        }
        pending_ = std::thread([this, part = std::move(part), meta, cap] {
            const ThreadCap same_cap(cap);
            try {
                sort_part(part, meta);
            } catch (...) {
                pending_error_ = std::current_exception();
            }
        });
    }

    SortedFiles finish(const VcfRecords& records) {
        wait_for_pending();
        require_column_header(records, path_);
        const std::vector<std::string> declarations = declarations_.lines(records.meta, records.contigs);
        const std::vector<std::string_view> header = header_as_written(records, declarations);
        if (indexing_) check_header_for_index(header, path_);
        if (span_error_) std::rethrow_exception(span_error_);

        const std::vector<std::uint32_t> rank = contig_ranks(records, declared_contigs(records.meta));
        std::vector<std::uint32_t> contig_order(rank.size());
        for (std::uint32_t contig = 0; contig < rank.size(); ++contig) contig_order[rank[contig]] = contig;

        std::size_t total = record_bytes_;
        for (const std::string_view line : header) total += line.size();

        Output output(path_, options_);
        {
            BgzfWriter writer(output.file.file(), output.file.temp_path(), bgzf_threads_for(total), options_.level);
            for (const std::string_view line : header) writer.write(line);
            std::optional<VcfIndexBuilder> indexer;
            if (indexing_) indexer.emplace(furthest_, header, options_.csi);
            runs_->merge(contig_order, [&](std::uint32_t contig, std::string_view line, const IndexSpan& span) {
                const std::uint64_t begin = writer.uncompressed_size();
                writer.write(line);
                if (indexer) indexer->add_span(contig, records.contigs, span, begin, writer.uncompressed_size());
            });
            writer.finish();
            if (indexer) output.write_index(*indexer, writer);
        }
        runs_.reset();
        return output.commit();
    }

private:
    // On the part's own thread; `meta`: the header lines read before it.
    void sort_part(const VcfRecords& part, const std::vector<std::string>& meta) {
        std::vector<IndexSpan> spans;
        if (indexing_) {
            try {
                spans = vcf_index_spans(part);
            } catch (VcfInputError& error) {
                error.path = path_;
                span_error_ = std::current_exception();
                return;
            }
            for (const IndexSpan& span : spans) furthest_ = std::max(furthest_, span.end);
        }
        declarations_.scan(meta, part);
        runs_->add(part, spans);
    }

    // The part handed over before is sorted and written, or its error thrown.
    void wait_for_pending() {
        if (pending_.joinable()) pending_.join();
        if (pending_error_) std::rethrow_exception(std::exchange(pending_error_, nullptr));
    }

    const std::string& path_;
    const SortAndCompressOptions& options_;
    bool indexing_;
    std::optional<SortedRuns> runs_;
    DeclarationScan declarations_;
    std::int64_t furthest_ = 0;
    std::size_t record_bytes_ = 0;
    std::exception_ptr span_error_;
    std::thread pending_;  // sorting and writing the part handed over last
    std::exception_ptr pending_error_;
};

}  // namespace

SortedFiles sort_and_compress(const std::string& path, const SortAndCompressOptions& options) {
    const ThreadCap cap(options.threads);
    if (options.max_memory == 0) return sort_in_memory(path, read_vcf_records(path), options);

    // Records that fit the bound are read and sorted as without one.
    if (std::optional<VcfRecords> records = read_vcf_records_within(path, options.max_memory))
        return sort_in_memory(path, std::move(*records), options);

    SpillingSort spilling(path, options);
    VcfRecords records = read_vcf_records(path, SpillingSort::parts_budget(options.max_memory),
                                          [&](VcfRecords&& part, const std::vector<std::string>& meta) {
                                              spilling.add(std::move(part), meta);
                                          });
    if (!spilling.spilled()) return sort_in_memory(path, std::move(records), options);
    spilling.add(records.take_records(), records.meta);
    return spilling.finish(records);
}

}  // namespace callfold::compression
