#include "compression/sort_and_compress.hpp"

#include <unistd.h>

#include <optional>

#include "compression/bgzf_writer.hpp"
#include "compression/durable_file.hpp"
#include "compression/header_declarations.hpp"
#include "compression/vcf_index.hpp"
#include "compression/vcf_sorting.hpp"

namespace callfold::compression {
namespace {

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

std::string sort_and_compress(const std::string& path, const SortAndCompressOptions& options) {
    const VcfRecords records = read_vcf_records(path);

    // Without its column header line a file is not a VCF that readers accept,
    // and there is no place for the declarations the records may need.
    if (records.column_header.empty()) {
        VcfInputError error(0, "no \"#CHROM\" column header line; the file cannot be written as an indexable VCF");
        error.path = path;
        throw error;
    }

    const std::vector<std::string> declarations = missing_declarations(records.meta, records);
    const std::vector<std::uint32_t> order =
        sorted_record_order(records, contig_ranks(records, declared_contigs(records.meta)));

    std::size_t total = records.text.size() + records.column_header.size();
    for (const std::string& line : records.meta) total += line.size();
    for (const std::string& line : declarations) total += line.size();

    const bool indexing = options.index || options.csi;
    const std::string output_path = path + ".gz";
    DurableFile output(output_path);
    std::optional<DurableFile> index_file;
    {
        BgzfWriter writer(output.fd(), output.temp_path(),
                          options.threads != 0 ? options.threads : bgzf_threads_for(total), options.level);
        // Readers identify a VCF by a first line that states its format.
        if (!has_fileformat(records.meta)) writer.write("##fileformat=VCFv4.2\n");
        for (const std::string& line : records.meta) writer.write(line);
        for (const std::string& line : declarations) writer.write(line);
        writer.write(records.column_header);
        const std::uint64_t header_bytes = writer.uncompressed_size();
        std::vector<IndexSpan> spans;
        if (indexing) spans.reserve(order.size());
        for (const std::uint32_t index : order) {
            writer.write(records.record(index));
            // Worked out while the blocks are compressed on other threads.
            if (indexing) spans.push_back(vcf_index_span(records.record(index), records.pos[index]));
        }
        writer.finish();

        if (indexing) {
            const VcfIndex index = [&] {
                try {
                    return build_vcf_index(records, order, spans, header_bytes, writer, options.csi);
                } catch (VcfInputError& error) {
                    error.path = path;
                    throw;
                }
            }();
            index_file.emplace(output_path + std::string(index_suffix(index.kind)));
            BgzfWriter index_writer(index_file->fd(), index_file->temp_path(), 1, options.level);
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
    return output.final_path();
}

}  // namespace callfold::compression
