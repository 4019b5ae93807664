#include "unifier/sections.hpp"

#include <algorithm>
#include <optional>
#include <string>

#include "common/errors.hpp"
#include "common/tab_columns.hpp"
#include "common/text_rules.hpp"
#include "common/vcf_text.hpp"
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

Layout unified_layout(const LinesByType& lines, const RecordOptions& options) {
    Layout layout;
    layout.donor = header_donor(lines);
    if (!layout.donor) return layout;
    layout.donor_header_lines = vcf_header_line_count(*lines[*layout.donor]);
    layout.appended = appended_sections(lines, options);
    for (const AppendedSection& section : layout.appended)
        if (section.type == FileType::roh) layout.roh_shape = section.roh_shape;
    return layout;
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

namespace {

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
    throw InvalidValue("the " + std::string(file_type_keys[appended]) + " input has " + std::to_string(count) +
                     (count == 1 ? " sample column (" : " sample columns (") + names + ") but the " +
                     std::string(file_type_keys[donor]) + " input, whose header the unified VCF takes, has " +
                     std::to_string(donor_names.size()) + " (" + listed(donor_names) +
                     "); the unified VCF's records would not match its header");
}

[[noreturn]] void names_differ(FileType appended, const std::vector<std::string_view>& names, FileType donor,
                               const std::vector<std::string_view>& donor_names) {
    std::size_t column = 0;
    while (names[column] == donor_names[column]) ++column;
    throw InvalidValue("the " + std::string(file_type_keys[appended]) + " input has the same number of sample columns (" +
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
    if (fields.size() <= format_column + 1) return {};
    return {fields.begin() + format_column + 1, fields.end()};
}

void refuse_mismatched_sample_columns(const LinesByType& lines, const Layout& layout) {
    const std::optional<FileType> donor = layout.donor;
    if (!donor) return;
    // The donor's column header by the writer's own rule: the first line holding "#CHROM".
    const std::vector<std::string_view>& donor_lines = *lines[*donor];
    const std::size_t header_lines = layout.donor_header_lines;
    if (header_lines == 0 || !mentions_column_header(donor_lines[header_lines - 1])) return;
    const std::vector<std::string_view> donor_names = sample_column_names(donor_lines[header_lines - 1]);
    const bool donor_has_format = count_fields(without_line_end(donor_lines[header_lines - 1])) > format_column;

    for (const AppendedSection& section : layout.appended) {
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
            throw InvalidValue("the " + std::string(file_type_keys[section.type]) + " input has a FORMAT column but the " +
                             std::string(file_type_keys[*donor]) +
                             " input, whose header the unified VCF takes, has none; the unified VCF's records would "
                             "not match its header");
    }
}

namespace {

// Header lines up to the column header give ##contig lines; then the records
// are read only until one names a primary chromosome (records come in runs on
// one chromosome, so a change of name is all that is looked at).
template <class Records, class NameOf>
void add_records(BuildFacts& facts, const Records& records, const NameOf& name_of) {
    std::string_view last;
    for (const std::string_view line : records) {
        const std::string_view name = name_of(line);
        if (name.empty() || name == last) continue;
        last = name;
        facts.add_name(name);
        if (facts.has_record_style()) return;
    }
}

BuildFacts donor_facts(const std::vector<std::string_view>& lines) {
    BuildFacts facts;
    std::size_t index = 0;
    for (; index < lines.size() && !lines[index].empty() && lines[index].front() == '#'; ++index)
        facts.add_header_line(lines[index]);
    add_records(facts, std::span(lines).subspan(index), [](std::string_view line) {
        return is_record_line(line) ? vcf_chromosome(line) : std::string_view{};
    });
    return facts;
}

BuildFacts section_facts(const AppendedSection& section, const std::vector<std::string_view>& input) {
    BuildFacts facts;
    if (!section.converted)
        for (const std::string_view line : input) {
            if (line.empty() || line.front() != '#') break;
            facts.add_header_line(line);
        }
    add_records(facts, section.body, [&section](std::string_view line) {
        return is_section_record(section, line) ? section_record_chromosome(section, line) : std::string_view{};
    });
    return facts;
}

}  // namespace

void check_build_agreement(const LinesByType& lines, const Layout& layout, const RecordOptions& options) {
    const std::optional<FileType> donor = layout.donor;
    if (!donor) return;
    std::optional<BuildFacts> donor_side;
    for (const AppendedSection& section : layout.appended) {
        // Records that never reach the file cannot disagree with it.
        if (!contributes_records(section)) continue;
        if (!donor_side) donor_side = donor_facts(*lines[*donor]);
        const std::optional<BuildDifference> difference =
            build_difference(section_facts(section, *lines[section.type]), *donor_side);
        if (!difference) continue;
        const std::string appended(file_type_keys[section.type]);
        const std::string donor_key(file_type_keys[*donor]);
        if (!options.allow_build_mismatch)
            throw InvalidValue("the " + appended + " input and the " + donor_key + " input " + describe(*difference) +
                             ": they come from different reference builds or chromosome namings");
        log_event(LogLevel::warning,
                  "The %s input and the %s input %s: they come from different reference builds or chromosome namings",
                  {appended, donor_key, describe(*difference)});
    }
}

}  // namespace callfold::unifier
