#include "unifier/chromosome_names.hpp"

#include <optional>
#include <string>

#include "common/errors.hpp"
#include "unifier/input_reading.hpp"
#include "unifier/sections.hpp"

namespace callfold::unifier {
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

void check_build_agreement(const LinesByType& lines, const RecordOptions& options, const LogSink& log) {
    const std::optional<FileType> donor = header_donor(lines);
    if (!donor) return;
    std::optional<BuildFacts> donor_side;
    for (const AppendedSection& section : appended_sections(lines, options)) {
        // Records that never reach the file cannot disagree with it.
        if (!contributes_records(section)) continue;
        if (!donor_side) donor_side = donor_facts(*lines[*donor]);
        const std::optional<BuildDifference> difference =
            build_difference(section_facts(section, *lines[section.type]), *donor_side);
        if (!difference) continue;
        const std::string appended(file_type_keys[section.type]);
        const std::string donor_key(file_type_keys[*donor]);
        if (!options.allow_build_mismatch)
            throw ValueError("the " + appended + " input and the " + donor_key + " input " + describe(*difference) +
                             ": they come from different reference builds or chromosome namings");
        log(LogLevel::warning, "The %s input and the %s input %s: they come from different reference builds or "
            "chromosome namings", {appended, donor_key, describe(*difference)});
    }
}

}  // namespace callfold::unifier
