// Whether a repeat VCF and the catalog come from one reference build and name
// chromosomes alike. A VCF that names chromosomes in another style than the
// catalog ("1" against "chr1", whatever records it holds) comes from another
// build or naming; one whose records merely lie on no chromosome the catalog
// names keeps nothing. Neither must pass unremarked.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/build_facts.hpp"
#include "common/log_sink.hpp"
#include "repeats/catalog.hpp"

namespace callfold::repeats {

// Names shown for each side in the warning.
inline constexpr std::size_t naming_examples = 3;

class ChromosomeNaming {
public:
    ChromosomeNaming() = default;
    // Keeps the catalog's first chromosome names, in catalog order, and its naming style.
    explicit ChromosomeNaming(const Catalog& catalog);

    // A header line of the VCF (its ##contig lines name chromosomes).
    void see_header_line(std::string_view line) { vcf_.add_header_line(line); }

    // A record lies on `chromosome`, which the catalog names or not. Called
    // whenever a record's chromosome differs from the previous record's.
    void see(std::string_view chromosome, bool in_catalog);

    bool any_record_in_catalog() const { return any_in_catalog_; }

    // A naming style of the VCF that the catalog does not use.
    std::optional<BuildDifference> build_difference() const { return callfold::build_difference(vcf_, catalog_); }

    // After the engine: a VCF named in another style than the catalog, or one
    // with records of which none lies on a chromosome the catalog names (when
    // the catalog has intervals). Logs a warning when `allow_mismatch`, else
    // throws ValueError; nothing otherwise.
    void report(const std::string& repeat_path, const std::string& bed_path, bool allow_mismatch,
                const LogSink& log) const;

private:
    bool any_in_catalog_ = false;
    std::vector<std::string> record_examples_;   // distinct, first seen first
    std::vector<std::string> catalog_examples_;  // empty when the catalog has no interval
    BuildFacts vcf_;
    BuildFacts catalog_;
};

}  // namespace callfold::repeats
