// The default name of the filtered VCF: beside the input, named after it with
// its extensions stripped back to the last ".vcf", plus "_filtered.vcf".
#pragma once

#include <string>

namespace callfold::repeats {

// "d/sample.repeats.sorted.vcf.gz" -> "d/sample.repeats.sorted_filtered.vcf",
// "calls.vcf.vcf" -> "calls.vcf_filtered.vcf". Extensions are split off one at
// a time from the right, as the host's os.path.splitext splits them (a dot
// with only dots before it starts no extension), until ".vcf" has been split
// off. A name with no ".vcf" extension at any level (".bcf", ".txt", ".VCF",
// a bare ".vcf", an empty name) never reaches one; it keeps its whole name less
// one trailing ".gz" or ".bgz" (any case), so "calls.txt.gz" ->
// "calls.txt_filtered.vcf" and ".vcf" -> ".vcf_filtered.vcf".
std::string filtered_repeat_path(const std::string& full_repeat_path);

}  // namespace callfold::repeats
