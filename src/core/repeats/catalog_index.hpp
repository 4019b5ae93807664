// The catalog as one overlap index per chromosome, looked up by a record's
// chromosome. Records come grouped by chromosome, so the last lookup is
// remembered; each new lookup also tells the chromosome naming record.
#pragma once

#include <string>
#include <string_view>

#include "common/string_map.hpp"
#include "repeats/catalog.hpp"
#include "repeats/chromosome_naming.hpp"
#include "repeats/overlap_index.hpp"
#include "repeats/record_span.hpp"

namespace callfold::repeats {

class CatalogIndex {
public:
    explicit CatalogIndex(const Catalog& catalog);

    // The index of `chromosome`, or null when the catalog does not name it.
    const OverlapIndex* find(std::string_view chromosome) {
        if (!has_last_ || chromosome != last_name_) look_up(chromosome);
        return last_;
    }

    bool overlaps(const RecordSpan& span) {
        const OverlapIndex* index = find(span.chromosome);
        return index != nullptr && index->overlaps(span.start, span.end);
    }

    const ChromosomeNaming& naming() const { return naming_; }
    void see_header_line(std::string_view line) { naming_.see_header_line(line); }

private:
    void look_up(std::string_view chromosome);

    StringMap<OverlapIndex> by_name_;
    std::string last_name_;
    const OverlapIndex* last_ = nullptr;
    bool has_last_ = false;
    ChromosomeNaming naming_;
};

}  // namespace callfold::repeats
