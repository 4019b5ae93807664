// The repeat filtering job: input checks with their warnings, engine choice,
// output naming, the guard against overwriting an input, and one engine run.
#pragma once

#include <optional>
#include <string>

#include "common/host_context.hpp"

namespace callfold::repeats {

inline constexpr const char* bundled_catalog_name = "STRchive-disease-loci.hg38.TRGT.bed";
inline constexpr const char* bedtools_engine_name = "bedtools";
inline constexpr const char* builtin_engine_name = "builtin";

// Whether an executable regular file named "bedtools" is on PATH (searched anew).
bool bedtools_available();

// Returns the path of the filtered VCF, or nothing (with a warning) when an
// input is not given or names nothing. Only "bedtools" exactly selects bedtools;
// anything else, nothing included, the built-in engine. After the engine's own
// messages, warns when the VCF names chromosomes in another style than the
// catalog, or has records none of which lies on a chromosome the catalog names
// (when it has intervals); unless `allow_build_mismatch`, either is InvalidValue
// instead and no output file is left (an existing one stays as it was). Throws
// Unavailable when bedtools is selected but not on PATH, InvalidValue when the
// output path names an input, and whatever the engine throws.
std::optional<std::string> filter_repeats_vcf(const std::optional<std::string>& full_repeat_path,
                                              const std::optional<std::string>& repeat_bed_file_path,
                                              std::optional<std::string> engine,
                                              const std::optional<std::string>& output_path,
                                              bool allow_build_mismatch = true);

// The default name of the filtered VCF: beside the input, named after it with
// its extensions stripped back to the last ".vcf", plus "_filtered.vcf".

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
