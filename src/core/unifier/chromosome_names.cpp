#include "unifier/chromosome_names.hpp"

#include <optional>
#include <string>
#include <unordered_set>

#include "unifier/input_reading.hpp"
#include "unifier/sections.hpp"

namespace callfold::unifier {
namespace {

constexpr std::string_view contig_prefix = "##contig=<";

std::string_view donor_line_name(std::string_view line) {
    if (!line.empty() && line.front() == '#') return contig_line_id(line);
    return is_record_line(line) ? vcf_chromosome(line) : std::string_view{};
}

// The donor's names, read only as far as a question needs: the ##contig lines
// usually answer at the top of the file, and the donor may run to millions of
// records.
class DonorNames {
public:
    explicit DonorNames(const std::vector<std::string_view>& lines) : lines_(lines) {}

    bool names(std::string_view chromosome) {
        if (seen_.contains(chromosome)) return true;
        while (const std::optional<std::string_view> name = next_name())
            if (*name == chromosome) return true;
        return false;
    }

    // The first name in line order; empty when the donor names none.
    std::string_view example() {
        while (first_.empty() && next_name()) {
        }
        return first_;
    }

private:
    std::optional<std::string_view> next_name() {
        while (position_ < lines_.size()) {
            const std::string_view name = donor_line_name(lines_[position_++]);
            // Records come in runs on one chromosome: only a change costs a lookup.
            if (name.empty() || name == last_) continue;
            last_ = name;
            seen_.insert(name);
            if (first_.empty()) first_ = name;
            return name;
        }
        return std::nullopt;
    }

    const std::vector<std::string_view>& lines_;
    std::size_t position_ = 0;
    std::string_view last_;
    std::string_view first_;
    std::unordered_set<std::string_view> seen_;
};

}  // namespace

std::string_view contig_line_id(std::string_view line) {
    if (!line.starts_with(contig_prefix)) return {};
    std::string_view fields = line.substr(contig_prefix.size());
    std::size_t start = 0;
    if (!fields.starts_with("ID=")) {
        start = fields.find(",ID=");
        if (start == std::string_view::npos) return {};
        ++start;
    }
    fields.remove_prefix(start + 3);
    return fields.substr(0, fields.find_first_of(",>\r\n"));
}

void warn_on_unshared_chromosomes(const LinesByType& lines, const RecordOptions& options, const LogSink& log) {
    const std::optional<FileType> donor = header_donor(lines);
    if (!donor) return;
    DonorNames donor_names(*lines[*donor]);
    for (const AppendedSection& section : appended_sections(lines, options)) {
        std::string_view example;
        std::string_view last;
        bool shared = false;
        for (const std::string_view line : section.body) {
            if (!is_section_record(section, line)) continue;
            const std::string_view chromosome = section_record_chromosome(section, line);
            if (chromosome.empty() || chromosome == last) continue;
            last = chromosome;
            if (example.empty()) example = chromosome;
            if (donor_names.names(chromosome)) {
                shared = true;
                break;
            }
        }
        if (shared || example.empty()) continue;
        const std::string_view donor_example = donor_names.example();
        if (donor_example.empty()) continue;
        log(LogLevel::warning,
            "The %s input names no chromosome of the %s input (for example %s against %s); "
            "the reference build or chromosome naming probably differs",
            {std::string(file_type_keys[section.type]), std::string(file_type_keys[*donor]), std::string(example),
             std::string(donor_example)});
    }
}

}  // namespace callfold::unifier
