// Where a tabix index places a VCF record: the 0-based, half-open interval that
// covers the record for every reader in use. Readers of htslib 1.22 and later
// size a deletion, duplication, copy-number or inversion allele by INFO SVLEN as
// well as by END and REF; earlier ones by END or REF alone. A record placed under
// a longer span than a reader computes is still found (the reader filters the
// candidates by its own span); under a shorter one it is missed. So the span is
// the longest of them, which is the one current tabix computes for every record
// with a REF.
#pragma once

#include <cstdint>
#include <string_view>

namespace callfold::compression {

struct IndexSpan {
    std::int64_t beg;
    std::int64_t end;
};

// The span of `record` (a record line, with or without its "\n"): beg is
// POS - 1, or 0 for a POS below 1; end is the furthest of
// - beg + 1, and beg plus the length of REF;
// - INFO END, where it lies beyond beg and does not start with ".";
// - beg + |SVLEN|, SVLEN taken per ALT allele for `<DEL>`, `<DUP>`, `<CNV>`,
//   `<INV>` and their ":" subtypes (`<DUP:TANDEM>`, `<DEL:ME>`, ...);
// - beg + FORMAT LEN of any sample, for gVCF records whose ALT holds `<*>` or
//   `<NON_REF>`.
// Integers are read as C reads them where tabix does: POS and END with strtoll
// in base 0 ("0x10" is 16, "010" is 8), SVLEN and LEN with atoll; values past
// 64 bits saturate.
IndexSpan vcf_index_span(std::string_view record);

// The reference length htslib's indexer reads from a header line, to size a CSI
// for the longest contig: in a "##contig" line, the integer after the first
// "length" and any spaces and "=" signs; 0 for any other line or no length.
std::int64_t indexed_contig_length(std::string_view header_line);

}  // namespace callfold::compression
