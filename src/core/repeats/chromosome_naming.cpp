#include "repeats/chromosome_naming.hpp"

#include <algorithm>

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
}

void ChromosomeNaming::see(std::string_view chromosome, bool in_catalog) {
    if (in_catalog) {
        any_in_catalog_ = true;
        return;
    }
    if (any_in_catalog_ || record_examples_.size() == naming_examples) return;
    if (std::find(record_examples_.begin(), record_examples_.end(), chromosome) == record_examples_.end())
        record_examples_.emplace_back(chromosome);
}

void ChromosomeNaming::warn_if_disjoint(const std::string& repeat_path, const std::string& bed_path,
                                        const LogSink& log) const {
    if (any_in_catalog_ || record_examples_.empty() || catalog_examples_.empty()) return;
    log(LogLevel::warning,
        "No record of %s is on a chromosome that %s names (VCF: %s; catalog: %s); "
        "the reference build or chromosome naming probably differs",
        {PathArg{repeat_path}, PathArg{bed_path}, joined(record_examples_), joined(catalog_examples_)});
}

}  // namespace callfold::repeats
