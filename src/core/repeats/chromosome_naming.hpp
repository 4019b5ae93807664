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
#include "common/host_context.hpp"
#include "common/string_map.hpp"
#include "repeats/catalog.hpp"
#include "repeats/record_span.hpp"

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
    // throws InvalidValue; nothing otherwise.
    void report(const std::string& repeat_path, const std::string& bed_path, bool allow_mismatch) const;

private:
    bool any_in_catalog_ = false;
    std::vector<std::string> record_examples_;   // distinct, first seen first
    std::vector<std::string> catalog_examples_;  // empty when the catalog has no interval
    BuildFacts vcf_;
    BuildFacts catalog_;
};

// The catalog as one overlap index per chromosome, looked up by a record's
// chromosome. Records come grouped by chromosome, so the last lookup is
// remembered; each new lookup also tells the chromosome naming record.

class CatalogIndex {
public:
    explicit CatalogIndex(const Catalog& catalog);

    // The index of `chromosome`, or null when the catalog does not name it.
    const OverlapIndex* find(std::string_view chromosome) {
        if (!has_last_ || chromosome != last_name_) look_up(chromosome);
        return last_;
    }

    // Whether `chromosome` is the one looked up last, and then its index
    // (null when the catalog does not name it): known without a lookup.
    bool remembered(std::string_view chromosome, const OverlapIndex*& index) const {
        if (!has_last_ || chromosome != last_name_) return false;
        index = last_;
        return true;
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

// What an engine that does not read the files itself (bedtools) leaves unknown:
// whether its output kept any record, and on which chromosomes the VCF's
// records lie compared with the catalog's.

// Whether the VCF at `path` holds a record line; reading stops at the first.
// Throws SystemCallFailed, InvalidUtf8 and DamagedGzip.
bool holds_records(const std::string& path);

// One pass over the records of the repeat VCF, stopping at the first that lies
// on a chromosome the catalog names. Throws SystemCallFailed, InvalidUtf8 and DamagedGzip.
ChromosomeNaming survey_chromosome_naming(const std::string& repeat_path, const Catalog& catalog);

}  // namespace callfold::repeats
