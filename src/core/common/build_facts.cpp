#include "common/build_facts.hpp"

#include <algorithm>

#include "common/text_rules.hpp"
#include "common/vcf_text.hpp"

namespace callfold {
namespace {

constexpr std::string_view contig_prefix = "##contig=<";

bool all_digits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// 1 to 22, X, Y, M or MT.
bool is_primary_number(std::string_view text) {
    if (text == "X" || text == "Y" || text == "M" || text == "MT") return true;
    if (!all_digits(text) || text.size() > 2 || text.front() == '0') return false;
    const int number = text.size() == 1 ? text[0] - '0' : (text[0] - '0') * 10 + (text[1] - '0');
    return number >= 1 && number <= 22;
}

// NC_000001 to NC_000024 (1-22, X, Y) and NC_012920 (the mitochondrion), with or without a version.
bool is_primary_refseq(std::string_view name) {
    if (!name.starts_with("NC_")) return false;
    name.remove_prefix(3);
    const std::size_t dot = name.find('.');
    const std::string_view accession = name.substr(0, dot);
    if (dot != std::string_view::npos && !all_digits(name.substr(dot + 1))) return false;
    if (accession.size() != 6 || !all_digits(accession)) return false;
    if (accession == "012920") return true;
    if (!accession.starts_with("0000")) return false;
    const int number = (accession[4] - '0') * 10 + (accession[5] - '0');
    return number >= 1 && number <= 24;
}

}  // namespace

std::optional<ChromosomeStyle> chromosome_style(std::string_view name) {
    if (name.starts_with("chr") && is_primary_number(name.substr(3))) return ChromosomeStyle::chr;
    if (is_primary_number(name)) return ChromosomeStyle::bare;
    if (is_primary_refseq(name)) return ChromosomeStyle::refseq;
    return std::nullopt;
}

std::optional<ContigLine> parse_contig_line(std::string_view line) {
    ContigLine contig;
    if (!structured_id(line, contig_prefix, contig.id) || contig.id.empty()) return std::nullopt;
    std::string length;
    if (structured_value(line, contig_prefix, "length", length)) {
        const IntText parsed = parse_int_text(length);
        if (parsed.ok()) contig.length = parsed.value;
    }
    return contig;
}

void NamingStyles::add(std::string_view name) {
    const std::optional<ChromosomeStyle> style = chromosome_style(name);
    if (!style) return;
    used[static_cast<std::size_t>(*style)] = true;
    if (example.empty()) example = name;
}

bool NamingStyles::shares(const NamingStyles& other) const {
    for (std::size_t i = 0; i < used.size(); ++i)
        if (used[i] && other.used[i]) return true;
    return false;
}

void BuildFacts::add_header_line(std::string_view line) {
    const std::optional<ContigLine> contig = parse_contig_line(line);
    if (!contig) return;
    contigs_.add(contig->id);
    if (contig->length && length_by_name_.emplace(std::string(contig->id), *contig->length).second)
        lengths_.emplace_back(contig->id, *contig->length);
}

void BuildFacts::add_name(std::string_view name) { records_.add(name); }

NamingStyles BuildFacts::all_styles() const {
    NamingStyles all = contigs_;
    for (std::size_t i = 0; i < all.used.size(); ++i) all.used[i] = all.used[i] || records_.used[i];
    if (all.example.empty()) all.example = records_.example;
    return all;
}

std::optional<std::int64_t> BuildFacts::length_of(std::string_view contig) const {
    const auto found = length_by_name_.find(contig);
    if (found == length_by_name_.end()) return std::nullopt;
    return found->second;
}

std::optional<BuildDifference> build_difference(const BuildFacts& first, const BuildFacts& second) {
    const auto naming = [](const std::string& one, const std::string& other) {
        return BuildDifference{BuildDifference::Kind::naming, one, other, {}};
    };
    const NamingStyles first_all = first.all_styles();
    const NamingStyles second_all = second.all_styles();
    if (!first.record_styles().empty() && !second_all.empty() && !first.record_styles().shares(second_all))
        return naming(first.record_styles().example, second_all.example);
    if (!second.record_styles().empty() && !first_all.empty() && !second.record_styles().shares(first_all))
        return naming(first_all.example, second.record_styles().example);
    if (!first.contig_styles().empty() && !second.contig_styles().empty() &&
        !first.contig_styles().shares(second.contig_styles()))
        return naming(first.contig_styles().example, second.contig_styles().example);
    for (const auto& [name, length] : first.contig_lengths()) {
        const std::optional<std::int64_t> other = second.length_of(name);
        if (other && *other != length)
            return BuildDifference{BuildDifference::Kind::contig_length, std::to_string(length),
                                   std::to_string(*other), name};
    }
    return std::nullopt;
}

std::string describe(const BuildDifference& difference) {
    if (difference.kind == BuildDifference::Kind::naming)
        return "name chromosomes in different styles (" + difference.first + " against " + difference.second + ")";
    return "give contig " + difference.contig + " different lengths (" + difference.first + " against " +
           difference.second + ")";
}

}  // namespace callfold
