// The sections of the unified file as the writer lays them out: which input
// donates the header, and which inputs follow it with records of their own.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "unifier/input_reading.hpp"
#include "unifier/roh_input.hpp"
#include "unifier/unified_writer.hpp"

namespace callfold::unifier {

// The inputs that can follow the donor, in the order they are written.
inline constexpr std::array<FileType, 3> appended_order = {FileType::cnv, FileType::repeats, FileType::roh};

// The first present of SV, CNV, repeats; ROH never donates. Nothing when none is present.
std::optional<FileType> header_donor(const LinesByType& lines);

// The shape of ROH lines under the caller's declared format (ValueError, located,
// when detection cannot place them).
RohShape roh_input_shape(const std::vector<std::string_view>& lines, const RecordOptions& options);

// An input appended after the donor's content.
struct AppendedSection {
    FileType type;
    bool converted;                          // ROH lines converted one by one (BED or `bcftools roh`)
    RohShape roh_shape;                      // how converted lines read
    std::string_view column_header;          // the line its records follow; empty when converted
    std::span<const std::string_view> body;  // every line after the column header (all lines when converted)
};

// Every appended input in writing order, without the donor and without a VCF
// input that lacks the full column header (the writer leaves all of it out).
std::vector<AppendedSection> appended_sections(const LinesByType& lines, const RecordOptions& options);

// Whether a line of `section.body` is a record rather than a header or blank line.
bool is_section_record(const AppendedSection& section, std::string_view line);

// Whether any line of `section.body` is a record.
bool contributes_records(const AppendedSection& section);

// CHROM of a record line of `section.body`; of a converted line as conversion takes it.
std::string_view section_record_chromosome(const AppendedSection& section, std::string_view line);

// CHROM of a VCF line: its first field, without the terminator.
std::string_view vcf_chromosome(std::string_view line);

}  // namespace callfold::unifier
