// The sections of the unified file as the writer lays them out, found once
// (which input donates the header, and which inputs follow it with records of
// their own), and the checks over them before anything is written: appended
// records must carry the sample columns of the header they are written under,
// and every input should come from one reference build.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "common/build_facts.hpp"
#include "common/host_context.hpp"
#include "unifier/input_reading.hpp"
#include "unifier/roh_input.hpp"
#include "unifier/unified_writer.hpp"

namespace callfold::unifier {

// The inputs that can follow the donor, in the order they are written.
inline constexpr std::array<FileType, 3> appended_order = {FileType::cnv, FileType::repeats, FileType::roh};

// The first present of SV, CNV, repeats; ROH never donates. Nothing when none is present.
std::optional<FileType> header_donor(const LinesByType& lines);

// The shape of ROH lines under the caller's declared format (InvalidValue, located,
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

// The unified file's layout, found once for the checks, the header and the
// writer: the donor, how many of its lines make its header, and the appended
// sections (those only when there is a donor).
struct Layout {
    std::optional<FileType> donor;
    std::size_t donor_header_lines = 0;  // up to and including its column header (vcf_header_line_count)
    std::vector<AppendedSection> appended;
    RohShape roh_shape = RohShape::vcf;  // of an appended ROH input
};

// InvalidValue, located, when an appended ROH input cannot be placed.
Layout unified_layout(const LinesByType& lines, const RecordOptions& options);

// Whether a line of `section.body` is a record rather than a header or blank line.
bool is_section_record(const AppendedSection& section, std::string_view line);

// Whether any line of `section.body` is a record.
bool contributes_records(const AppendedSection& section);

// CHROM of a record line of `section.body`; of a converted line as conversion takes it.
std::string_view section_record_chromosome(const AppendedSection& section, std::string_view line);

// CHROM of a VCF line: its first field, without the terminator.
std::string_view vcf_chromosome(std::string_view line);

// Appended records must carry the sample columns of the header they are written
// under, or VCF readers reject the file (or misread it without a word).

// The names after FORMAT in a column header line; none for a sites-only header.
std::vector<std::string_view> sample_column_names(std::string_view column_header_line);

// Throws InvalidValue when an appended input that contributes records has other
// sample columns than the donor's column header: another count, or several
// columns whose names or order differ (one each agree whatever the names). A
// converted ROH BED record has one. Nothing to compare without a donor or
// without a donor column header.
void refuse_mismatched_sample_columns(const LinesByType& lines, const Layout& layout);

// Inputs of one unified file should come from one reference build: an appended
// input that names chromosomes in another style than the header donor ("1"
// against "chr1"), or gives one of its contigs another ##contig length
// (GRCh37 against GRCh38), comes from another build or naming. Inputs that
// merely share no chromosome (a sparse donor without ##contig lines) do not.

// For each appended input that comes from another build than the donor: a
// warning when the options allow a build mismatch, else InvalidValue (the first
// such input). Reads the ##contig lines and the first records that name a
// primary chromosome.
void check_build_agreement(const LinesByType& lines, const Layout& layout, const RecordOptions& options);

}  // namespace callfold::unifier
