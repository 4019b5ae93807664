#include "repeats/chromosome_naming.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "common/errors.hpp"
#include "repeats/record_span.hpp"

namespace callfold::repeats {
namespace {

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        if (!text.empty()) text += ", ";
        text += name;
    }
    return text;
}

}  // namespace

ChromosomeNaming::ChromosomeNaming(const Catalog& catalog) {
    const auto count = static_cast<std::ptrdiff_t>(std::min(catalog.chromosomes.size(), naming_examples));
    catalog_examples_.assign(catalog.chromosomes.begin(), catalog.chromosomes.begin() + count);
    for (const std::string& chromosome : catalog.chromosomes) catalog_.add_name(chromosome);
}

void ChromosomeNaming::see(std::string_view chromosome, bool in_catalog) {
    vcf_.add_name(chromosome);
    if (in_catalog) {
        any_in_catalog_ = true;
        return;
    }
    if (any_in_catalog_ || record_examples_.size() == naming_examples) return;
    if (std::find(record_examples_.begin(), record_examples_.end(), chromosome) == record_examples_.end())
        record_examples_.emplace_back(chromosome);
}

void ChromosomeNaming::report(const std::string& repeat_path, const std::string& bed_path, bool allow_mismatch) const {
    if (const std::optional<BuildDifference> difference = build_difference()) {
        if (!allow_mismatch)
            throw InvalidValue("the repeat VCF " + repeat_path + " and the catalog " + bed_path + " " +
                             describe(*difference) +
                             ": they come from different reference builds or chromosome namings; use the catalog "
                             "of the VCF's build");
        log_event(LogLevel::warning,
            "The repeat VCF %s and the catalog %s %s: they come from different reference builds or chromosome "
            "namings; use the catalog of the VCF's build",
            {PathArg{repeat_path}, PathArg{bed_path}, describe(*difference)});
        return;
    }
    if (any_in_catalog_ || record_examples_.empty() || catalog_examples_.empty()) return;
    if (!allow_mismatch)
        throw InvalidValue("no record of " + repeat_path + " is on a chromosome that " + bed_path + " names (VCF: " +
                         joined(record_examples_) + "; catalog: " + joined(catalog_examples_) +
                         "); nothing would be kept");
    log_event(LogLevel::warning, "No record of %s is on a chromosome that %s names (VCF: %s; catalog: %s)",
        {PathArg{repeat_path}, PathArg{bed_path}, joined(record_examples_), joined(catalog_examples_)});
}

CatalogIndex::CatalogIndex(const Catalog& catalog) : naming_(catalog) {
    for (std::size_t i = 0; i < catalog.chromosomes.size(); ++i)
        by_name_.emplace(catalog.chromosomes[i], OverlapIndex(catalog.intervals[i]));
}

void CatalogIndex::look_up(std::string_view chromosome) {
    const auto found = by_name_.find(chromosome);
    last_ = found == by_name_.end() ? nullptr : &found->second;
    last_name_.assign(chromosome);
    has_last_ = true;
    naming_.see(chromosome, last_ != nullptr);
}

bool holds_records(const std::string& path) {
    std::unique_ptr<LineStream> source = open_vcf_text(path);
    bool found = false;
    for_each_vcf_line(*source, [](std::string_view) {}, [&](std::string_view, const std::optional<RecordSpan>&) {
        found = true;
        return false;
    });
    source->close();
    return found;
}

ChromosomeNaming survey_chromosome_naming(const std::string& repeat_path, const Catalog& catalog) {
    CatalogIndex index(catalog);
    std::unique_ptr<LineStream> source = open_vcf_text(repeat_path);
    for_each_vcf_line(
        *source, [&](std::string_view header) { index.see_header_line(header); },
        [&](std::string_view, const std::optional<RecordSpan>& span) {
            if (span) index.find(span->chromosome);
            return !index.naming().any_record_in_catalog();
        });
    source->close();
    return index.naming();
}

}  // namespace callfold::repeats
