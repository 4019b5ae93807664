#include "repeats/chromosome_survey.hpp"

#include <memory>
#include <optional>
#include <string_view>

#include "repeats/catalog_index.hpp"
#include "repeats/vcf_lines.hpp"
#include "repeats/vcf_lines.hpp"

namespace callfold::repeats {

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
