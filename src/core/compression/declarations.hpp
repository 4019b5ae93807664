// What the records of a VCF use that its header does not declare: contigs,
// INFO and FORMAT keys, FILTER values and symbolic ALT alleles, each turned into
// a declaration line so that strict readers accept the file; and what the
// header's own lines say (its contigs, whether it states the format).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "compression/vcf_records.hpp"

namespace callfold::compression {

// IDs of the header's ##contig lines, in header order.
std::vector<std::string> declared_contigs(const std::vector<std::string>& header);

// True when some header line is a ##fileformat line.
bool has_fileformat(const std::vector<std::string>& header);

// Declaration lines (each ending in "\n") for everything `records` use that
// `header` does not declare, in this order: ##contig (in the order the contigs
// are ranked), ##INFO, ##FORMAT, ##FILTER, ##ALT, each kind in order of first
// use. IDs that cannot be written inside a declaration (empty, or holding
// whitespace or one of , < > " =) are not declared.
std::vector<std::string> missing_declarations(const std::vector<std::string>& header, const VcfRecords& records);

class RecordUsage;

// missing_declarations over records met a part at a time: the lines are those
// of all the parts together, also when the header grows after the first part
// (meta lines that stand after records).
class DeclarationScan {
public:
    DeclarationScan();
    ~DeclarationScan();
    DeclarationScan(const DeclarationScan&) = delete;
    DeclarationScan& operator=(const DeclarationScan&) = delete;

    // The next part of the records; `header`: the header lines read so far.
    void scan(const std::vector<std::string>& header, const VcfRecords& part);
    // The declarations that the whole `header` lacks; `contigs`: every CHROM in
    // order of first appearance.
    std::vector<std::string> lines(const std::vector<std::string>& header, const std::vector<std::string>& contigs) const;

private:
    std::unique_ptr<RecordUsage> usage_;
};

}  // namespace callfold::compression
