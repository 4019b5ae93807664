#include "unifier/sample_columns.hpp"

#include <algorithm>
#include <string>

#include "common/vcf_text.hpp"
#include "common/errors.hpp"
#include "common/tab_columns.hpp"
#include "unifier/sections.hpp"

namespace callfold::unifier {
namespace {

constexpr std::size_t format_index = 8;
constexpr std::size_t names_shown = 3;

// Quoted, so that a difference of case or a stray blank shows.
std::string quoted(std::string_view name) {
    std::string text(1, '\'');
    text.append(name);
    text.push_back('\'');
    return text;
}

std::string listed(const std::vector<std::string_view>& names) {
    if (names.empty()) return "none";
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < names_shown; ++i) {
        if (i > 0) text += ", ";
        text += quoted(names[i]);
    }
    if (names.size() > names_shown) text += ", ...";
    return text;
}

bool columns_agree(const std::vector<std::string_view>& appended, const std::vector<std::string_view>& donor) {
    // Callers name the one sample of a run differently; several must line up by name.
    if (appended.size() == 1 && donor.size() == 1) return true;
    return appended == donor;
}

[[noreturn]] void mismatch(FileType appended, std::size_t count, const std::string& names, FileType donor,
                           const std::vector<std::string_view>& donor_names) {
    throw ValueError("the " + std::string(file_type_keys[appended]) + " input has " + std::to_string(count) +
                     (count == 1 ? " sample column (" : " sample columns (") + names + ") but the " +
                     std::string(file_type_keys[donor]) + " input, whose header the unified VCF takes, has " +
                     std::to_string(donor_names.size()) + " (" + listed(donor_names) +
                     "); the unified VCF's records would not match its header");
}

[[noreturn]] void names_differ(FileType appended, const std::vector<std::string_view>& names, FileType donor,
                               const std::vector<std::string_view>& donor_names) {
    std::size_t column = 0;
    while (names[column] == donor_names[column]) ++column;
    throw ValueError("the " + std::string(file_type_keys[appended]) + " input has the same number of sample columns (" +
                     std::to_string(names.size()) + ") as the " + std::string(file_type_keys[donor]) +
                     " input, whose header the unified VCF takes, with different names (sample column " +
                     std::to_string(column + 1) + ": " + quoted(names[column]) + " against " +
                     quoted(donor_names[column]) + "); the unified VCF's records would not match its header");
}

}  // namespace

std::vector<std::string_view> sample_column_names(std::string_view column_header_line) {
    std::string_view text = without_line_end(column_header_line);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    const std::vector<std::string_view> fields = split_fields(text);
    if (fields.size() <= format_index + 1) return {};
    return {fields.begin() + format_index + 1, fields.end()};
}

void refuse_mismatched_sample_columns(const LinesByType& lines, const RecordOptions& options) {
    const std::optional<FileType> donor = header_donor(lines);
    if (!donor) return;
    // The donor's column header by the writer's own rule: the first line holding "#CHROM".
    const std::vector<std::string_view>& donor_lines = *lines[*donor];
    const std::size_t header_lines = vcf_header_line_count(donor_lines);
    if (header_lines == 0 || !mentions_column_header(donor_lines[header_lines - 1])) return;
    const std::vector<std::string_view> donor_names = sample_column_names(donor_lines[header_lines - 1]);
    const bool donor_has_format = count_fields(without_line_end(donor_lines[header_lines - 1])) > format_index;

    for (const AppendedSection& section : appended_sections(lines, options)) {
        if (!contributes_records(section)) continue;
        if (section.converted) {
            // A converted interval is written with FORMAT GT and one sample.
            if (donor_names.size() != 1)
                mismatch(section.type, 1,
                         section.roh_shape == RohShape::bed ? "converted from BED" : "converted from bcftools roh",
                         *donor, donor_names);
            continue;
        }
        const std::vector<std::string_view> names = sample_column_names(section.column_header);
        if (!columns_agree(names, donor_names)) {
            if (names.size() == donor_names.size()) names_differ(section.type, names, *donor, donor_names);
            mismatch(section.type, names.size(), listed(names), *donor, donor_names);
        }
        // No sample on either side, but the appended records still carry the
        // FORMAT column that a sites-only header lacks.
        if (names.empty() && !donor_has_format)
            throw ValueError("the " + std::string(file_type_keys[section.type]) + " input has a FORMAT column but the " +
                             std::string(file_type_keys[*donor]) +
                             " input, whose header the unified VCF takes, has none; the unified VCF's records would "
                             "not match its header");
    }
}

}  // namespace callfold::unifier
