// Whether the records of a repeat VCF lie on chromosomes the catalog names at
// all. A VCF on one reference build or naming ("1") filtered against a catalog
// on another ("chr1") keeps no record, which must not pass unremarked.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/log_sink.hpp"
#include "repeats/catalog.hpp"

namespace callfold::repeats {

// Names shown for each side in the warning.
inline constexpr std::size_t naming_examples = 3;

class ChromosomeNaming {
public:
    ChromosomeNaming() = default;
    // Keeps the catalog's first chromosome names, in catalog order.
    explicit ChromosomeNaming(const Catalog& catalog);

    // A record lies on `chromosome`, which the catalog names or not. Called
    // whenever a record's chromosome differs from the previous record's.
    void see(std::string_view chromosome, bool in_catalog);

    bool any_record_in_catalog() const { return any_in_catalog_; }

    // Logs a warning when the VCF had records, the catalog has intervals and
    // no record lies on a chromosome the catalog names; nothing otherwise.
    void warn_if_disjoint(const std::string& repeat_path, const std::string& bed_path, const LogSink& log) const;

private:
    bool any_in_catalog_ = false;
    std::vector<std::string> record_examples_;   // distinct, first seen first
    std::vector<std::string> catalog_examples_;  // empty when the catalog has no interval
};

}  // namespace callfold::repeats
