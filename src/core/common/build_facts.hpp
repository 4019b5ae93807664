// What an input says about the reference build it was called on: how it names
// the primary chromosomes ("chr1", bare "1", RefSeq "NC_000001.11") and the
// lengths its ##contig lines give. Two inputs that differ in either come from
// different builds (or namings), whatever records they happen to hold.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/string_map.hpp"

namespace callfold {

enum class ChromosomeStyle { chr = 0, bare = 1, refseq = 2 };

// The style of a primary chromosome's name (1-22, X, Y and the mitochondrion);
// nothing for any other name (alternate contigs, decoys, unplaced scaffolds).
std::optional<ChromosomeStyle> chromosome_style(std::string_view name);

// A "##contig=<...>" line's ID and length (nothing when it gives none), read
// as every structured header line is (common/vcf_text.hpp).
struct ContigLine {
    std::string id;
    std::optional<std::int64_t> length;
};
std::optional<ContigLine> parse_contig_line(std::string_view line);

// The styles one source of names uses, with the first name seen.
struct NamingStyles {
    std::array<bool, 3> used{};
    std::string example;
    bool empty() const { return example.empty(); }
    void add(std::string_view name);
    bool shares(const NamingStyles& other) const;
};

class BuildFacts {
public:
    // A header line: ##contig lines give a name and a length.
    void add_header_line(std::string_view line);
    // A chromosome named by a record (or a catalog interval).
    void add_name(std::string_view name);

    // Whether a record has named a primary chromosome yet.
    bool has_record_style() const { return !records_.empty(); }
    const NamingStyles& contig_styles() const { return contigs_; }
    const NamingStyles& record_styles() const { return records_; }
    // Every style used, ##contig lines and records together.
    NamingStyles all_styles() const;
    const std::vector<std::pair<std::string, std::int64_t>>& contig_lengths() const { return lengths_; }
    std::optional<std::int64_t> length_of(std::string_view contig) const;

private:
    NamingStyles contigs_;
    NamingStyles records_;
    std::vector<std::pair<std::string, std::int64_t>> lengths_;  // in line order
    StringMap<std::int64_t> length_by_name_;
};

// How two inputs' builds differ: records named in a style the other input never
// uses, ##contig lines of styles that share nothing, or one contig given two
// lengths. The description fills "(... against ...)".
struct BuildDifference {
    enum class Kind { naming, contig_length } kind;
    std::string first;   // the first input's name or length
    std::string second;  // the second's
    std::string contig;  // for a length: the contig both name
};
std::optional<BuildDifference> build_difference(const BuildFacts& first, const BuildFacts& second);

// "name chromosomes in different styles (chr1 against 1)" or "give contig chr1
// different lengths (249250621 against 248956422)".
std::string describe(const BuildDifference& difference);

}  // namespace callfold
