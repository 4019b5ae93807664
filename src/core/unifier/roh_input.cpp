#include "unifier/roh_input.hpp"

#include <algorithm>

#include "common/vcf_text.hpp"
#include "common/errors.hpp"
#include "common/input_location.hpp"
#include "common/text_rules.hpp"
#include "common/tab_columns.hpp"
#include "unifier/input_reading.hpp"

namespace callfold::unifier {
namespace {

// One bit wider than the bounds, so that the largest start plus one is exact.
__extension__ typedef __int128 wide_int;
__extension__ typedef unsigned __int128 wide_uint;

// Chromosome, start, end and score.
using BedColumns = LineColumns<4>;
// RG, sample, chromosome, start, end, length, markers, quality.
using RegionColumns = LineColumns<8>;
constexpr std::size_t region_quality = 7;

template <class Columns>
std::string_view field(const Columns& fields, std::size_t index) {
    if (index >= fields.count()) throw MissingField(index, fields.count());
    return fields[index];
}

std::int64_t bound(std::string_view text) {
    const IntText parsed = parse_int_text(text);
    if (parsed.status == IntText::Status::invalid) throw InvalidInteger(std::string(text));
    if (parsed.status == IntText::Status::overflow)
        throw ValueOutOfRange("ROH bound does not fit in 64 bits: " + std::string(text));
    return parsed.value;
}

// Decimal text of a value one past the 64-bit range at most.
std::string decimal(wide_int value) {
    const bool negative = value < 0;
    wide_uint magnitude = negative ? static_cast<wide_uint>(-(value + 1)) + 1 : static_cast<wide_uint>(value);
    std::string digits;
    do {
        digits.push_back(static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) digits.push_back('-');
    std::reverse(digits.begin(), digits.end());
    return digits;
}

std::string roh_record(std::string_view chromosome, wide_int pos, std::int64_t end, const std::string_view* score) {
    std::string record;
    record.reserve(chromosome.size() + (score ? score->size() : 0) + 80);
    record.append(chromosome);
    record.append("\t");
    record.append(decimal(pos));
    record.append("\t.\tN\t<ROH>\t.\tPASS\tEND=");
    record.append(decimal(end));
    record.append(";SVTYPE=ROH");
    if (score != nullptr) {
        record.append(";ROH_SCORE=");
        record.append(*score);
    }
    record.append("\tGT\t1/1\n");
    return record;
}

// A UCSC "track" or "browser" line: the word, then whitespace or the line's end.
bool starts_with_word(std::string_view line, std::string_view word) {
    return line.starts_with(word) && (line.size() == word.size() || whitespace_at(line, word.size()) > 0);
}

bool is_region_output_line(std::string_view line) { return line.starts_with("RG\t") || line.starts_with("ST\t"); }

bool is_bed_interval(std::string_view line) {
    const BedColumns fields(strip_whitespace(line));
    return fields.count() >= 3 && parse_int_text(fields[1]).status != IntText::Status::invalid &&
           parse_int_text(fields[2]).status != IntText::Status::invalid;
}

[[noreturn]] void unplaceable(std::size_t index, std::string_view line) {
    InputLocation where;
    where.input = input_name("roh");
    where.line = index + 1;
    where.line_start = line_start_of(line);
    try {
        throw InvalidValue(
            "the roh input is neither a BED (chrom, start, end), a VCF with a #CHROM column header, nor the region "
            "output of `bcftools roh` (RG lines); pass its format if it is one of them");
    } catch (...) {
        rethrow_located(std::move(where));
    }
}

}  // namespace

bool roh_lines_are_bed(const std::vector<std::string_view>& lines, const std::string_view* declared) {
    if (declared != nullptr && (*declared == roh_format_bed || *declared == roh_format_bcftools_roh)) return true;
    if (declared != nullptr && *declared == roh_format_vcf) return false;
    return std::none_of(lines.begin(), lines.end(), holds_sample_column_header);
}

RohShape roh_shape(const std::vector<std::string_view>& lines, const std::string_view* declared) {
    if (declared != nullptr && *declared == roh_format_bcftools_roh) return RohShape::bcftools_roh;
    if (!roh_lines_are_bed(lines, declared)) return RohShape::vcf;
    if (declared != nullptr && *declared == roh_format_bed) return RohShape::bed;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::string_view line = lines[index];
        if (roh_line_is_skipped(line, RohShape::bed)) continue;
        if (is_region_output_line(line)) return RohShape::bcftools_roh;
        if (is_bed_interval(line)) return RohShape::bed;
        unplaceable(index, line);
    }
    return RohShape::bed;  // nothing to convert
}

bool roh_line_is_skipped(std::string_view line, RohShape shape) {
    if (line.starts_with('#') || strip_whitespace(line).empty()) return true;
    if (shape == RohShape::bcftools_roh) return line.starts_with("ST\t");
    return starts_with_word(line, "track") || starts_with_word(line, "browser");
}

std::string roh_bed_line_to_vcf(std::string_view bed_line) {
    const BedColumns fields(strip_whitespace(bed_line));
    // The end is parsed before the start, as the bounds are ordered.
    const std::int64_t end_bound = bound(field(fields, 2));
    const std::int64_t start_bound = bound(field(fields, 1));
    const std::string_view chromosome = field(fields, 0);
    const wide_int pos = static_cast<wide_int>(std::min(start_bound, end_bound)) + 1;
    const std::int64_t end = std::max(start_bound, end_bound);
    if (fields.count() < 4) return roh_record(chromosome, pos, end, nullptr);
    const std::string_view score = fields[3];
    return roh_record(chromosome, pos, end, &score);
}

std::string roh_region_line_to_vcf(std::string_view region_line) {
    const RegionColumns fields(strip_whitespace(region_line));
    if (field(fields, 0) != "RG")
        throw InvalidValue("not a region line of `bcftools roh` (it starts with " + std::string(fields[0]) + ", not RG)");
    const std::string_view quality = field(fields, region_quality);
    const std::int64_t start_bound = bound(fields[3]);
    const std::int64_t end_bound = bound(fields[4]);
    // 1-based and inclusive already: POS and END as they stand.
    return roh_record(fields[2], std::min(start_bound, end_bound), std::max(start_bound, end_bound), &quality);
}

std::string roh_line_to_vcf(std::string_view line, RohShape shape) {
    return shape == RohShape::bcftools_roh ? roh_region_line_to_vcf(line) : roh_bed_line_to_vcf(line);
}

std::string_view roh_region_sample(std::string_view line) {
    if (!line.starts_with("RG\t")) return {};
    return LineColumns<2>(strip_whitespace(line))[1];
}

std::string_view roh_record_chromosome(std::string_view line, RohShape shape) {
    const LineColumns<3> fields(strip_whitespace(line));
    if (shape != RohShape::bcftools_roh) return fields[0];
    return fields.count() > 2 ? fields[2] : std::string_view{};
}

void refuse_several_roh_samples(const std::vector<std::string_view>& lines) {
    std::vector<std::string_view> samples;
    for (const std::string_view line : lines) {
        const std::string_view sample = roh_region_sample(line);
        if (sample.empty() || std::find(samples.begin(), samples.end(), sample) != samples.end()) continue;
        samples.push_back(sample);
    }
    if (samples.size() < 2) return;
    std::string names;
    for (const std::string_view sample : samples) names += (names.empty() ? "" : ", ") + std::string(sample);
    throw InvalidValue("the roh input holds `bcftools roh` regions of " + std::to_string(samples.size()) +
                     " samples (" + names + "); a unified file takes one sample's: run `bcftools roh -s SAMPLE` "
                     "or keep one sample's RG lines");
}

}  // namespace callfold::unifier
