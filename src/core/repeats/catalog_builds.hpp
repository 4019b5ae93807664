// The disease-locus catalogs by reference build. hg38, hg19 and T2T-CHM13 are
// shipped as files; b37 (GRCh37 named "1".."22", "X", "Y", "MT") is derived
// from the hg19 file when asked for, so that the two can never drift apart.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace callfold::repeats {

inline constexpr std::array<std::string_view, 4> catalog_builds = {"hg38", "hg19", "b37", "t2t"};
inline constexpr std::string_view derived_build = "b37";
inline constexpr std::string_view derived_build_source = "hg19";
inline constexpr std::string_view derived_catalog_name = "STRchive-disease-loci.b37.TRGT.bed";

// The shipped file name of a build's catalog (b37: its hg19 source); nothing
// for a name that is no build.
std::optional<std::string_view> shipped_catalog_name(std::string_view build);

// "hg38, hg19, b37, t2t".
std::string known_builds();

// The hg19 catalog's text renamed as b37: "chr" removed from the chromosome of
// every interval line, "chrM" as "MT"; other lines (comments, track) unchanged.
std::string b37_catalog_text(std::string_view hg19_text);

// The b37 catalog derived from the hg19 file at `hg19_path`, at
// `directory`/derived_catalog_name: written (under a temporary name, then
// renamed) unless the file there already holds exactly the derived text, which
// is checked on every call. `directory` is created when missing. Returns the
// path. Throws OsError and DecodeError.
std::string derived_b37_catalog(const std::string& hg19_path, const std::string& directory);

}  // namespace callfold::repeats
