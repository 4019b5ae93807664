// Which reference build a VCF was called on, read off its header: the length
// its ##contig lines give chromosome 1, then the names in its ##reference and
// ##assembly lines, then how it names chromosomes ("chr1" or "1"), which tells
// hg19 from b37 once GRCh37 is known.
#pragma once

#include <optional>
#include <string>

namespace callfold::repeats {

struct RecognisedBuild {
    std::optional<std::string> build;  // one of catalog_builds, or nothing
    std::string evidence;              // one line: what was seen, or why it cannot tell
};

// Reads the header of the VCF at `vcf_path` (plain or gzip/BGZF) and, when the
// naming is still needed, its records up to the first on a primary chromosome.
// Throws SystemCallFailed, InvalidUtf8 and DamagedGzip, located at their line.
RecognisedBuild recognise_build(const std::string& vcf_path);

}  // namespace callfold::repeats
