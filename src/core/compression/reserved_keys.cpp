#include "compression/reserved_keys.hpp"

#include <cstddef>

namespace callfold::compression {
namespace {

// SVTYPE, END and ROH_SCORE are also written by the unifier itself (repeat
// records, runs of homozygosity): their descriptions say what they mean there.
constexpr KeyDefinition standard_info[] = {
    {"SVTYPE", "1", "String",
     "Type of structural variant; REP marks a tandem repeat call and ROH a run of homozygosity"},
    {"END", "1", "Integer", "End position of the variant described in this record"},
    {"ROH_SCORE", "1", "Float", "Score of the run of homozygosity, as its caller gave it"},
    {"SVLEN", ".", "Integer", "Difference in length between REF and ALT alleles"},
    {"CIPOS", "2", "Integer", "Confidence interval around POS for imprecise variants"},
    {"CIEND", "2", "Integer", "Confidence interval around END for imprecise variants"},
    {"IMPRECISE", "0", "Flag", "Imprecise structural variation"},
    {"NOVEL", "0", "Flag", "Indicates a novel structural variation"},
    {"HOMLEN", ".", "Integer", "Length of base pair identical micro-homology at event breakpoints"},
    {"HOMSEQ", ".", "String", "Sequence of base pair identical micro-homology at event breakpoints"},
    {"MATEID", ".", "String", "ID of mate breakends"},
    {"EVENT", "1", "String", "ID of event associated to breakend"},
    {"CN", "1", "Integer", "Copy number of segment containing breakend"},
    {"DP", "1", "Integer", "Combined depth across samples"},
    {"AF", "A", "Float", "Allele frequency"},
    {"AC", "A", "Integer", "Allele count in genotypes"},
    {"AN", "1", "Integer", "Total number of alleles in called genotypes"},
};

constexpr KeyDefinition standard_format[] = {
    {"GT", "1", "String", "Genotype"},
    {"GQ", "1", "Integer", "Conditional genotype quality"},
    {"DP", "1", "Integer", "Read depth"},
    {"FT", "1", "String", "Filter indicating if this genotype was called"},
    {"PS", "1", "Integer", "Phase set"},
    {"CN", "1", "Integer", "Copy number genotype for imprecise events"},
    {"AD", "R", "Integer", "Read depth for each allele"},
    {"PL", "G", "Integer", "Phred-scaled genotype likelihoods rounded to the closest integer"},
    {"GL", "G", "Float", "Genotype likelihoods"},
};

constexpr KeyDefinition standard_alt[] = {
    {"DEL", "", "", "Deletion"},
    {"INS", "", "", "Insertion"},
    {"DUP", "", "", "Duplication"},
    {"INV", "", "", "Inversion"},
    {"CNV", "", "", "Copy number variable region"},
    {"BND", "", "", "Breakend"},
    {"DUP:TANDEM", "", "", "Tandem duplication"},
    {"DEL:ME", "", "", "Deletion of mobile element relative to the reference"},
    {"INS:ME", "", "", "Insertion of a mobile element"},
    {"STR", "", "", "Short tandem repeat"},
    {"ROH", "", "", "Run of homozygosity"},
    {"*", "", "", "Represents any possible alternative allele not already represented at this location"},
    {"NON_REF", "", "", "Represents any possible alternative allele at this location"},
};

template <std::size_t N>
const KeyDefinition* find_definition(const KeyDefinition (&table)[N], std::string_view id) {
    for (const KeyDefinition& definition : table)
        if (definition.id == id) return &definition;
    return nullptr;
}

}  // namespace

const KeyDefinition* reserved_info(std::string_view id) { return find_definition(standard_info, id); }
const KeyDefinition* reserved_format(std::string_view id) { return find_definition(standard_format, id); }
const KeyDefinition* reserved_alt(std::string_view id) { return find_definition(standard_alt, id); }

}  // namespace callfold::compression
