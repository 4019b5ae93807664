#include "compression/sort_and_compress.hpp"

#include <unistd.h>

#include <optional>

#include "common/parallel_ranges.hpp"
#include "compression/bgzf_writer.hpp"
#include "common/output_file.hpp"
#include "compression/declarations.hpp"
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

}  // namespace

SortedFiles sort_and_compress(const std::string& path, const SortAndCompressOptions& options) {
    const ThreadCap cap(options.threads);
    const VcfRecords records = read_vcf_records(path);

    // Without its column header line a file is not a VCF that readers accept,
    // and there is no place for the declarations the records may need.
    if (records.column_header.empty()) {
        VcfInputError error(0, "no \"#CHROM\" column header line; the file cannot be written as an indexable VCF");
        error.path = path;
        throw error;
    }

    const std::vector<std::string> declarations = missing_declarations(records.meta, records);
    // The header as written: readers identify a VCF by a first line that states its format.
    std::vector<std::string_view> header;
    if (!has_fileformat(records.meta)) header.push_back(default_fileformat_line);
    header.insert(header.end(), records.meta.begin(), records.meta.end());
    header.insert(header.end(), declarations.begin(), declarations.end());
    header.push_back(records.column_header);

    const bool indexing = options.index || options.csi;
    // Read in input order, the text's own: in the order written the lines lie
    // all over memory, and reading them there would stall on every one.
    std::vector<IndexSpan> spans;
    if (indexing) {
        try {
            check_indexable_header(header);
            spans = vcf_index_spans(records);
        } catch (VcfInputError& error) {
            error.path = path;
            throw;
        }
    }

    const std::vector<std::uint32_t> order =
        sorted_record_order(records, contig_ranks(records, declared_contigs(records.meta)));

    std::size_t total = records.text.size();
    for (const std::string_view line : header) total += line.size();

    const std::string output_path = path + ".gz";
    DurableFile output(output_path);
    std::optional<DurableFile> index_file;
    {
        BgzfWriter writer(output.file(), output.temp_path(), bgzf_threads_for(total), options.level);
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
                __builtin_prefetch(&records.start[order[i + 2 * prefetch_distance]]);
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

        if (indexer) {
            const VcfIndex index = indexer->finish(writer);
            index_file.emplace(output_path + std::string(index_suffix(index.kind)));
            BgzfWriter index_writer(index_file->file(), index_file->temp_path(), bgzf_threads_for(index.content.size()),
                                    options.level);
            index_writer.write(index.content);
            index_writer.finish();
        }
    }
    // An index from an earlier run describes other data: it goes before the new
    // file takes the name, so the two never stand side by side.
    for (const IndexKind kind : {IndexKind::tbi, IndexKind::csi})
        remove_file_if_present(output_path + std::string(index_suffix(kind)));
    commit_with_index(output, index_file);
    remove_file(path);
    return {output.final_path(), index_file ? index_file->final_path() : std::string()};
}

}  // namespace callfold::compression
