// What the records of a VCF use that its header does not declare: contigs,
// INFO and FORMAT keys, FILTER values and symbolic ALT alleles, each turned into
// a declaration line so that strict readers accept the file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "compression/vcf_records.hpp"

namespace callfold::compression {

// How the records are scanned; the result is the same either way.
struct DeclarationScan {
    bool remember_recent = true;  // a short list of the latest IDs looked up
    std::size_t threads = 2;      // at most; one below 200,000 records
};

// Declaration lines (each ending in "\n") for everything `records` use that
// `header` does not declare, in this order: ##contig (in the order the contigs
// are ranked), ##INFO, ##FORMAT, ##FILTER, ##ALT, each kind in order of first
// use. IDs that cannot be written inside a declaration (empty, or holding
// whitespace or one of , < > " =) are not declared.
std::vector<std::string> missing_declarations(const std::vector<std::string>& header, const VcfRecords& records,
                                              const DeclarationScan& how = {});

}  // namespace callfold::compression
