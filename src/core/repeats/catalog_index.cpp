#include "repeats/catalog_index.hpp"

namespace callfold::repeats {

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

}  // namespace callfold::repeats
