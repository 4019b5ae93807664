// The order of a sort: contigs ranked as the header declares them, records
// by (contig rank, POS), ties kept in input order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compression/vcf_records.hpp"

namespace callfold::compression {

// Rank of every contig of `records`: the IDs in `declared` first, in their
// order, then the undeclared contigs in order of first appearance.
std::vector<std::uint32_t> contig_ranks(const VcfRecords& records, const std::vector<std::string>& declared);

// Record indices ordered by (rank of their contig, POS), ties in input order.
std::vector<std::uint32_t> sorted_record_order(const VcfRecords& records, const std::vector<std::uint32_t>& rank_of_contig);

}  // namespace callfold::compression
