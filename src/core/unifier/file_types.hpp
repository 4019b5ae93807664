// The vocabulary shared by the whole unifier: file-type keys in reading order
// and the names of the ROH input's formats.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace callfold::unifier {

enum FileType : std::size_t { sv = 0, cnv = 1, repeats = 2, roh = 3 };
inline constexpr std::size_t file_type_count = 4;

inline constexpr std::array<std::string_view, file_type_count> file_type_keys = {"sv", "cnv", "repeats", "roh"};


// How an input is named where an error is located in it: "cnv input".
inline std::string input_name(std::string_view file_type) { return std::string(file_type) + " input"; }


inline constexpr std::string_view roh_format_auto = "auto";
inline constexpr std::string_view roh_format_bed = "bed";
inline constexpr std::string_view roh_format_vcf = "vcf";
inline constexpr std::string_view roh_format_bcftools_roh = "bcftools_roh";

}  // namespace callfold::unifier
