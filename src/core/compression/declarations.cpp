#include "compression/declarations.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/parallel_ranges.hpp"
#include "common/string_map.hpp"
#include "common/tab_columns.hpp"
#include "common/vcf_text.hpp"

namespace callfold::compression {

// The standard definitions of well-known INFO and FORMAT keys and symbolic ALT
// alleles, used when a record uses one that the header does not declare.
struct KeyDefinition {
    std::string_view id;
    std::string_view number;  // empty for ALT alleles
    std::string_view type;    // empty for ALT alleles
    std::string_view description;
};

// The standard definition of `id`, or null when it has none.
const KeyDefinition* reserved_info(std::string_view id);
const KeyDefinition* reserved_format(std::string_view id);
const KeyDefinition* reserved_alt(std::string_view id);

// What the values a record gives one INFO or FORMAT key have shown about it:
// whether it appears with and without a value, whether every element present
// is an integer or a decimal number, and how many elements the values hold.

struct ValueEvidence {
    bool used_without_value = false;
    bool used_with_value = false;
    bool any_present = false;   // some element is not the missing value "."
    bool all_integer = true;    // every present element is an integer a reader stores in 32 bits
    bool all_float = true;      // every present element is a decimal number
    bool all_single = true;     // every value holds exactly one element
    bool all_pairs = true;      // every value holds exactly two elements

    // One use of the key: its comma-separated value, or nothing for a key
    // given without "=".
    void observe(std::optional<std::string_view> value);
    // Adds what `other` saw.
    void combine(const ValueEvidence& other);
};

// The declaration line written for an ID the header lacks: a well-known key
// keeps its standard definition when its values fit it, any other key gets a
// Number and Type that every one of its values satisfies.

inline constexpr std::string_view undeclared_description = "Not declared in the input header";

// False for an ID that cannot be written inside a declaration: empty, or
// holding whitespace or one of , < > " =.
bool declarable(std::string_view id);

// "##<kind>=<ID=...,Number=...,Type=...,Description=...>\n" for an INFO
// (flags_allowed) or FORMAT key; `reserved` is its standard definition or null.
std::string key_declaration(std::string_view kind, std::string_view id, const KeyDefinition* reserved,
                            const ValueEvidence& evidence, bool flags_allowed);

// "##<kind>=<ID=...,Description=...>\n", for FILTER values and ALT alleles.
std::string plain_declaration(std::string_view kind, std::string_view id, std::string_view description);

// The IDs of one kind of declaration (INFO, FORMAT, FILTER or ALT) seen in the
// records: those the header declares, and those it lacks in order of first use,
// each with the evidence of its values.

class UsedIds {
public:
    static constexpr std::size_t declared_index = static_cast<std::size_t>(-1);

    explicit UsedIds(bool remember_recent) : remember_recent_(remember_recent) {}

    // An ID the header declares: its uses are not recorded.
    void declare(std::string_view id) { index_.emplace(std::string(id), declared_index); }

    // Index of the evidence for `id` (added on its first use), or declared_index.
    std::size_t use_index(std::string_view id);

    // Evidence to update for `id`, or null when the header declares it. The
    // pointer is valid until the next call.
    ValueEvidence* use(std::string_view id) {
        const std::size_t index = use_index(id);
        return index == declared_index ? nullptr : &used_[index].second;
    }

    ValueEvidence& evidence(std::size_t index) { return used_[index].second; }
    const std::vector<std::pair<std::string, ValueEvidence>>& used() const { return used_; }

    // Adds what `later` (the same declarations, over records that follow these) found.
    void merge(const UsedIds& later);

private:
    StringMap<std::size_t> index_;  // every ID seen or declared
    std::vector<std::pair<std::string, ValueEvidence>> used_;
    struct Recent {
        std::string_view id;  // a key of index_, whose nodes stay put
        std::size_t index;
    };
    bool remember_recent_;
    std::array<Recent, 12> recent_{};
    std::size_t next_recent_ = 0;
};

// What records use: the INFO and FORMAT keys, FILTER values and symbolic ALT
// alleles they name, with the evidence of the keys' values, kept apart from
// what the header declares.

class RecordUsage {
public:
    RecordUsage(const std::vector<std::string>& header, bool remember_recent);

    // One record line, with or without its "\n".
    void scan(std::string_view record);

    // Adds what `later` (over records that follow these) found.
    void merge(const RecordUsage& later);

    // A declaration line for each declarable ID used but not declared: INFO,
    // FORMAT, FILTER, then ALT, each kind in order of first use.
    void append_lines(std::vector<std::string>& lines) const;

private:
    void scan_alt(std::string_view alt);
    void scan_filter(std::string_view filter);
    void scan_info(std::string_view info);
    void scan_format(std::string_view format, std::string_view samples, bool have_samples);

    UsedIds info_, format_, filter_, alt_;
    std::vector<std::size_t> keys_;  // per FORMAT key: its evidence, or declared_index
    std::string last_declared_format_;
};

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

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

enum class IntegerText { no, fits, too_large };

IntegerText integer_text(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return IntegerText::no;
    std::int64_t magnitude = 0;
    bool large = false;
    for (; i < text.size(); ++i) {
        if (!is_digit(text[i])) return IntegerText::no;
        if (!large) magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > (std::int64_t{1} << 32)) large = true;
    }
    // Readers keep the lowest eight 32-bit values for missing and end-of-vector markers.
    if (large || magnitude > (negative ? 2147483640 : 2147483647)) return IntegerText::too_large;
    return IntegerText::fits;
}

bool is_float_text(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t exponent_digits = 0;
        while (i < text.size() && is_digit(text[i])) ++i, ++exponent_digits;
        if (exponent_digits == 0) return false;
    }
    return i == text.size();
}

}  // namespace

void ValueEvidence::observe(std::optional<std::string_view> value) {
    if (!value) {
        used_without_value = true;
        return;
    }
    used_with_value = true;
    if (*value == ".") return;  // missing: fits every Number and Type
    std::size_t elements = 0;
    for_each_field(*value, ',', [&](std::string_view element) {
        ++elements;
        if (element == ".") return;
        any_present = true;
        const IntegerText integer = integer_text(element);
        if (integer != IntegerText::fits) all_integer = false;
        // An integer beyond 32 bits would lose digits as a Float: only String keeps it.
        if (integer == IntegerText::too_large || !is_float_text(element)) all_float = false;
    });
    if (elements != 1) all_single = false;
    if (elements != 2) all_pairs = false;
}

void ValueEvidence::combine(const ValueEvidence& other) {
    used_without_value |= other.used_without_value;
    used_with_value |= other.used_with_value;
    any_present |= other.any_present;
    all_integer &= other.all_integer;
    all_float &= other.all_float;
    all_single &= other.all_single;
    all_pairs &= other.all_pairs;
}

namespace {

bool fits(const KeyDefinition& definition, const ValueEvidence& evidence) {
    if (definition.type == "Flag") return !evidence.used_with_value;
    if (evidence.used_without_value) return false;
    if (definition.type == "Integer" && !evidence.all_integer) return false;
    if (definition.type == "Float" && !evidence.all_float) return false;
    if (definition.number == "1" && !evidence.all_single) return false;
    if (definition.number == "2" && !evidence.all_pairs) return false;
    return true;
}

}  // namespace

bool declarable(std::string_view id) {
    if (id.empty()) return false;
    for (const char c : id) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || c == ',' || c == '<' || c == '>' || c == '"' || c == '=') return false;
    }
    return true;
}

std::string key_declaration(std::string_view kind, std::string_view id, const KeyDefinition* reserved,
                            const ValueEvidence& evidence, bool flags_allowed) {
    std::string_view number;
    std::string_view type;
    std::string_view description = undeclared_description;
    if (reserved != nullptr && fits(*reserved, evidence)) {
        number = reserved->number;
        type = reserved->type;
        description = reserved->description;
    } else if (flags_allowed && !evidence.used_with_value) {
        number = "0";
        type = "Flag";
    } else {
        number = evidence.all_single && !evidence.used_without_value ? "1" : ".";
        type = !evidence.any_present ? "String" : evidence.all_integer ? "Integer" : evidence.all_float ? "Float" : "String";
    }
    std::string line = "##";
    line.append(kind).append("=<ID=").append(id).append(",Number=").append(number);
    line.append(",Type=").append(type).append(",Description=\"").append(description).append("\">\n");
    return line;
}

std::string plain_declaration(std::string_view kind, std::string_view id, std::string_view description) {
    std::string line = "##";
    line.append(kind).append("=<ID=").append(id).append(",Description=\"").append(description).append("\">\n");
    return line;
}

std::size_t UsedIds::use_index(std::string_view id) {
    // Records repeat a handful of keys over and over: a short list of the
    // latest ones looked up spares most of the hashing.
    if (remember_recent_)
        for (const Recent& recent : recent_)
            if (recent.id.data() != nullptr && equal_short(recent.id, id)) return recent.index;
    auto found = index_.find(id);
    if (found == index_.end()) {
        found = index_.emplace(std::string(id), used_.size()).first;
        used_.emplace_back(std::string(id), ValueEvidence{});
    }
    if (remember_recent_) recent_[next_recent_++ % recent_.size()] = Recent{found->first, found->second};
    return found->second;
}

void UsedIds::merge(const UsedIds& later) {
    for (const auto& [id, evidence] : later.used_) {
        const std::size_t index = use_index(id);
        if (index != declared_index) used_[index].second.combine(evidence);
    }
}

RecordUsage::RecordUsage(const std::vector<std::string>& header, bool remember_recent)
    : info_(remember_recent), format_(remember_recent), filter_(remember_recent), alt_(remember_recent) {
    std::string id;
    for (const std::string& line : header) {
        if (structured_id(line, "##INFO=<", id)) info_.declare(id);
        else if (structured_id(line, "##FORMAT=<", id)) format_.declare(id);
        else if (structured_id(line, "##FILTER=<", id)) filter_.declare(id);
        else if (structured_id(line, "##ALT=<", id)) alt_.declare(id);
    }
}

void RecordUsage::scan(std::string_view record) {
    record = without_line_end(record);
    const LineColumns<format_column + 1> columns(record);
    if (columns.count() > alt_column) scan_alt(columns[alt_column]);
    if (columns.count() > filter_column) scan_filter(columns[filter_column]);
    if (columns.count() > info_column) scan_info(columns[info_column]);
    if (columns.count() > format_column) scan_format(columns[format_column], columns.rest(), columns.more());
}

void RecordUsage::merge(const RecordUsage& later) {
    info_.merge(later.info_);
    format_.merge(later.format_);
    filter_.merge(later.filter_);
    alt_.merge(later.alt_);
}

void RecordUsage::append_lines(std::vector<std::string>& lines) const {
    for (const auto& [id, evidence] : info_.used())
        if (declarable(id)) lines.push_back(key_declaration("INFO", id, reserved_info(id), evidence, true));
    for (const auto& [id, evidence] : format_.used())
        if (declarable(id)) lines.push_back(key_declaration("FORMAT", id, reserved_format(id), evidence, false));
    for (const auto& entry : filter_.used())
        if (declarable(entry.first)) lines.push_back(plain_declaration("FILTER", entry.first, undeclared_description));
    for (const auto& entry : alt_.used()) {
        if (!declarable(entry.first)) continue;
        const KeyDefinition* reserved = reserved_alt(entry.first);
        lines.push_back(plain_declaration("ALT", entry.first, reserved ? reserved->description : undeclared_description));
    }
}

void RecordUsage::scan_alt(std::string_view alt) {
    for_each_field(alt, ',', [this](std::string_view allele) {
        if (allele.size() >= 2 && allele.front() == '<' && allele.back() == '>') alt_.use(allele.substr(1, allele.size() - 2));
    });
}

void RecordUsage::scan_filter(std::string_view filter) {
    if (filter == "." || filter == "PASS") return;
    for_each_field(filter, ';', [this](std::string_view value) {
        if (!value.empty() && value != "PASS" && value != ".") filter_.use(value);
    });
}

void RecordUsage::scan_info(std::string_view info) {
    if (info == ".") return;
    for_each_field(info, ';', [this](std::string_view entry) {
        if (entry.empty() || entry == ".") return;
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            if (ValueEvidence* evidence = info_.use(entry)) evidence->observe(std::nullopt);
        } else if (ValueEvidence* evidence = info_.use(entry.substr(0, equals))) {
            evidence->observe(entry.substr(equals + 1));
        }
    });
}

void RecordUsage::scan_format(std::string_view format, std::string_view samples, bool have_samples) {
    if (format == "." || format.empty()) return;
    // Most records repeat the FORMAT of the one before; when all of its keys
    // are declared there is nothing to look at.
    if (format == last_declared_format_) return;
    keys_.clear();
    bool all_declared = true;
    for_each_field(format, ':', [&](std::string_view key) {
        const std::size_t index = key.empty() ? UsedIds::declared_index : format_.use_index(key);
        if (index != UsedIds::declared_index) all_declared = false;
        keys_.push_back(index);
    });
    if (all_declared) {
        last_declared_format_.assign(format);
        return;
    }
    if (!have_samples) return;
    for_each_field(samples, '\t', [&](std::string_view sample) {
        std::size_t index = 0;
        for_each_field(sample, ':', [&](std::string_view value) {
            if (index < keys_.size() && keys_[index] != UsedIds::declared_index) format_.evidence(keys_[index]).observe(value);
            ++index;
        });
    });
}

std::vector<std::string> declared_contigs(const std::vector<std::string>& header) {
    std::vector<std::string> ids;
    std::string id;
    for (const std::string& line : header)
        if (structured_id(line, "##contig=<", id)) ids.push_back(id);
    return ids;
}

bool has_fileformat(const std::vector<std::string>& header) {
    for (const std::string& line : header)
        if (line.starts_with("##fileformat=")) return true;
    return false;
}

// Whether the scan keeps its short list of the latest IDs looked up. The
// product never changes it; the timing driver in bench/declarations declares it
// itself to time the scan without the list. No header declares it.
extern bool declaration_scan_remembers_recent_ids;
bool declaration_scan_remembers_recent_ids = true;

namespace {

// Below this many records a second thread costs more than it saves; more
// than two gain little, the scan being short beside the sort.
constexpr std::size_t records_per_thread = 200000;
constexpr std::size_t scan_threads = 2;

}  // namespace

DeclarationScan::DeclarationScan() = default;
DeclarationScan::~DeclarationScan() = default;

void DeclarationScan::scan(const std::vector<std::string>& header, const VcfRecords& part) {
    // Each range of records is scanned on its own; the later ranges' findings
    // are merged in order, which keeps the order of first use.
    const std::size_t ranges = std::min(scan_threads, ranges_for(part.size(), records_per_thread));
    std::vector<std::unique_ptr<RecordUsage>> usage(ranges);
    run_in_ranges(part.size(), ranges, [&](std::size_t begin, std::size_t end, const RangeStop& stop) {
        usage[stop.range()] = std::make_unique<RecordUsage>(header, declaration_scan_remembers_recent_ids);
        RecordUsage& scanner = *usage[stop.range()];
        for (std::size_t i = begin; i < end; ++i) {
            if (stop.due(i - begin)) return;
            scanner.scan(part.record(i));
        }
    });
    for (std::unique_ptr<RecordUsage>& range : usage) {
        if (!range) continue;
        if (!usage_) usage_ = std::move(range);
        else usage_->merge(*range);
    }
}

std::vector<std::string> DeclarationScan::lines(const std::vector<std::string>& header,
                                                const std::vector<std::string>& contigs) const {
    std::vector<std::string> lines;
    StringSet declared;
    for (std::string& id : declared_contigs(header)) declared.insert(std::move(id));
    for (const std::string& contig : contigs)
        if (declared.find(contig) == declared.end() && declarable(contig)) lines.push_back("##contig=<ID=" + contig + ">\n");
    // What the header declares drops out in the merge, also what it declared
    // only after some records were scanned.
    RecordUsage missing(header, false);
    if (usage_) missing.merge(*usage_);
    missing.append_lines(lines);
    return lines;
}

std::vector<std::string> missing_declarations(const std::vector<std::string>& header, const VcfRecords& records) {
    DeclarationScan scan;
    scan.scan(header, records);
    return scan.lines(header, records.contigs);
}

}  // namespace callfold::compression
