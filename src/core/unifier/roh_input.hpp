// ROH input arrives as a header-less BED of intervals, as the region lines of
// `bcftools roh`, or as a VCF that is copied. The first two are converted
// record by record. The shape is read off the lines unless the caller declares it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace callfold::unifier {

enum class RohShape { bed, vcf, bcftools_roh };

// Whether the lines are to be converted rather than copied: `declared` "bed",
// "bcftools_roh" or "vcf" decides at once; anything else (or nothing) detects:
// converted unless some line holds the full VCF column header.
bool roh_lines_are_bed(const std::vector<std::string_view>& lines, const std::string_view* declared);

// The shape of an ROH input: declared "bed", "vcf" or "bcftools_roh" decides;
// anything else detects. A VCF holds the full column header; otherwise the
// first line that is not skipped decides: a BED line (chrom, start, end, all
// integer bounds) or a `bcftools roh` line ("RG" or "ST" first). Throws
// InvalidValue, located at that line, for a file that is none of these.
RohShape roh_shape(const std::vector<std::string_view>& lines, const std::string_view* declared);

// Lines of a converted input that are not records: "#" comments, blank lines,
// UCSC "track" and "browser" lines; of `bcftools roh` output also its "ST"
// (per-site) lines.
bool roh_line_is_skipped(std::string_view line, RohShape shape);

// One BED interval (chrom, start, end and an optional score; 0-based half-open)
// as an <ROH> VCF record ending in "\n"; ROH_SCORE only when the score column is
// there. Throws MissingField for fewer than three fields, InvalidInteger for
// bounds that are not integer text, ValueOutOfRange beyond 64 bits.
std::string roh_bed_line_to_vcf(std::string_view bed_line);

// One `bcftools roh` region line (RG, sample, chrom, start, end, length,
// markers, quality; 1-based inclusive) as an <ROH> record, ROH_SCORE the quality.
std::string roh_region_line_to_vcf(std::string_view region_line);

// The record of a converted line of either shape.
std::string roh_line_to_vcf(std::string_view line, RohShape shape);

// The sample a `bcftools roh` region line belongs to; empty for other lines.
std::string_view roh_region_sample(std::string_view line);

// CHROM of a converted input's record line, as conversion takes it.
std::string_view roh_record_chromosome(std::string_view line, RohShape shape);

// Throws InvalidValue when `bcftools roh` output holds regions of several samples:
// a unified file is one sample's.
void refuse_several_roh_samples(const std::vector<std::string_view>& lines);

}  // namespace callfold::unifier
