#include "compression/sort_and_compress.hpp"

#include "compression/bgzf_writer.hpp"
#include "compression/durable_file.hpp"
#include "compression/header_declarations.hpp"
#include "compression/vcf_sorting.hpp"

namespace callfold::compression {

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

    DurableFile output(path + ".gz");
    {
        BgzfWriter writer(output.fd(), output.temp_path(),
                          options.threads != 0 ? options.threads : bgzf_threads_for(total), options.level);
        // Readers identify a VCF by a first line that states its format.
        if (!has_fileformat(records.meta)) writer.write("##fileformat=VCFv4.2\n");
        for (const std::string& line : records.meta) writer.write(line);
        for (const std::string& line : declarations) writer.write(line);
        writer.write(records.column_header);
        for (const std::uint32_t index : order) writer.write(records.record(index));
        writer.finish();
    }
    output.commit();
    remove_file(path);
    return output.final_path();
}

}  // namespace callfold::compression
