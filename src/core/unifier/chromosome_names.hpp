// Inputs of one unified file should come from one reference build: an appended
// input that names chromosomes in another style than the header donor ("1"
// against "chr1"), or gives one of its contigs another ##contig length
// (GRCh37 against GRCh38), comes from another build or naming. Inputs that
// merely share no chromosome (a sparse donor without ##contig lines) do not.
#pragma once

#include "common/build_facts.hpp"
#include "common/log_sink.hpp"
#include "unifier/unified_writer.hpp"

namespace callfold::unifier {

// For each appended input that comes from another build than the donor: a
// warning when the options allow a build mismatch, else ValueError (the first
// such input). Reads the ##contig lines and the first records that name a
// primary chromosome.
void check_build_agreement(const LinesByType& lines, const RecordOptions& options, const LogSink& log);

}  // namespace callfold::unifier
