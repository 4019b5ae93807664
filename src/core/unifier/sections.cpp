#include "unifier/sections.hpp"

#include <algorithm>

#include "common/vcf_text.hpp"
#include "common/text_rules.hpp"
#include "common/tab_columns.hpp"
#include "unifier/input_reading.hpp"
#include "unifier/roh_input.hpp"

namespace callfold::unifier {

std::optional<FileType> header_donor(const LinesByType& lines) {
    for (const FileType type : {FileType::sv, FileType::cnv, FileType::repeats})
        if (lines[type]) return type;
    return std::nullopt;
}

RohShape roh_input_shape(const std::vector<std::string_view>& lines, const RecordOptions& options) {
    if (!options.roh_format) return roh_shape(lines, nullptr);
    const std::string_view declared = *options.roh_format;
    return roh_shape(lines, &declared);
}

std::vector<AppendedSection> appended_sections(const LinesByType& lines, const RecordOptions& options) {
    std::vector<AppendedSection> sections;
    const std::optional<FileType> donor = header_donor(lines);
    for (const FileType type : appended_order) {
        if (!lines[type] || type == donor) continue;
        const std::vector<std::string_view>& input = *lines[type];
        const RohShape shape = type == FileType::roh ? roh_input_shape(input, options) : RohShape::vcf;
        if (shape != RohShape::vcf) {
            sections.push_back({type, true, shape, {}, input});
            continue;
        }
        for (std::size_t i = 0; i < input.size(); ++i) {
            if (!holds_sample_column_header(input[i])) continue;
            sections.push_back({type, false, shape, input[i], std::span(input).subspan(i + 1)});
            break;
        }
    }
    return sections;
}

bool is_section_record(const AppendedSection& section, std::string_view line) {
    return section.converted ? !roh_line_is_skipped(line, section.roh_shape) : is_record_line(line);
}

bool contributes_records(const AppendedSection& section) {
    return std::any_of(section.body.begin(), section.body.end(),
                       [&section](std::string_view line) { return is_section_record(section, line); });
}

std::string_view section_record_chromosome(const AppendedSection& section, std::string_view line) {
    if (!section.converted) return vcf_chromosome(line);
    return roh_record_chromosome(line, section.roh_shape);
}

std::string_view vcf_chromosome(std::string_view line) { return LineColumns<1>(without_line_end(line))[0]; }

}  // namespace callfold::unifier
