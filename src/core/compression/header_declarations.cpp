#include "compression/header_declarations.hpp"

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <thread>
#include <optional>
#include <unordered_set>

#include "common/interruption.hpp"

namespace callfold::compression {
namespace {

using StringSet = std::unordered_set<std::string, StringHash, std::equal_to<>>;

constexpr std::size_t parallel_scan_records = 200000;
// Records scanned between two looks at whether the work is to stop.
constexpr std::size_t poll_every = 65536;
constexpr std::string_view generic_description = "Not declared in the input header";

// What the values of one key have shown.
struct Evidence {
    bool used_without_value = false;
    bool used_with_value = false;
    bool any_present = false;   // some element is not the missing value "."
    bool all_integer = true;    // every present element is an integer a reader stores in 32 bits
    bool all_float = true;      // every present element is a decimal number
    bool all_single = true;     // every value holds exactly one element
    bool all_pairs = true;      // every value holds exactly two elements
};

struct Definition {
    std::string_view id;
    std::string_view number;
    std::string_view type;
    std::string_view description;
};

constexpr Definition standard_info[] = {
    {"SVTYPE", "1", "String", "Type of structural variant"},
    {"END", "1", "Integer", "End position of the variant described in this record"},
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

constexpr Definition standard_format[] = {
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

constexpr Definition standard_alt[] = {
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
const Definition* find_definition(const Definition (&table)[N], std::string_view id) {
    for (const Definition& definition : table)
        if (definition.id == id) return &definition;
    return nullptr;
}

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

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

void observe(Evidence& evidence, std::optional<std::string_view> value) {
    if (!value) {
        evidence.used_without_value = true;
        return;
    }
    evidence.used_with_value = true;
    if (*value == ".") return;  // missing: fits every Number and Type
    std::size_t elements = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = value->find(',', start);
        const std::string_view element = value->substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        ++elements;
        if (element != ".") {
            evidence.any_present = true;
            const IntegerText integer = integer_text(element);
            if (integer != IntegerText::fits) evidence.all_integer = false;
            // An integer beyond 32 bits would lose digits as a Float: only String keeps it.
            if (integer == IntegerText::too_large || !is_float_text(element)) evidence.all_float = false;
        }
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (elements != 1) evidence.all_single = false;
    if (elements != 2) evidence.all_pairs = false;
}

bool fits(const Definition& definition, const Evidence& evidence) {
    if (definition.type == "Flag") return !evidence.used_with_value;
    if (evidence.used_without_value) return false;
    if (definition.type == "Integer" && !evidence.all_integer) return false;
    if (definition.type == "Float" && !evidence.all_float) return false;
    if (definition.number == "1" && !evidence.all_single) return false;
    if (definition.number == "2" && !evidence.all_pairs) return false;
    return true;
}

std::string key_declaration(std::string_view kind, std::string_view id, const Definition* standard, const Evidence& evidence,
                            bool flags_allowed) {
    std::string_view number;
    std::string_view type;
    std::string_view description = generic_description;
    if (standard != nullptr && fits(*standard, evidence)) {
        number = standard->number;
        type = standard->type;
        description = standard->description;
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

bool declarable(std::string_view id) {
    if (id.empty()) return false;
    for (const char c : id) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || c == ',' || c == '<' || c == '>' || c == '"' || c == '=') return false;
    }
    return true;
}

// IDs of one kind of declaration: those the header has, and those the records
// use without it, in order of first use, with what their values showed.
class UsedIds {
public:
    static constexpr std::size_t declared_index = static_cast<std::size_t>(-1);

    void declare(std::string id) { declared_.insert(std::move(id)); }

    // Evidence to update for `id`, or null when the header declares it. The
    // pointer is valid until the next call.
    Evidence* use(std::string_view id) {
        const std::size_t index = use_index(id);
        return index == declared_index ? nullptr : &used_[index].second;
    }

    // Index of the evidence for `id`, or declared_index.
    std::size_t use_index(std::string_view id) {
        // Records repeat a handful of keys over and over: a short list of the
        // latest ones looked up spares most of the hashing.
        for (const Recent& recent : recent_)
            if (recent.id == id && recent.id.data() != nullptr) return recent.index;
        std::size_t index = declared_index;
        std::string_view stored;  // a view of the key held by a node-based container, stable
        const auto declared = declared_.find(id);
        if (declared != declared_.end()) {
            stored = *declared;
        } else {
            auto found = index_.find(id);
            if (found == index_.end()) {
                found = index_.emplace(std::string(id), used_.size()).first;
                used_.emplace_back(std::string(id), Evidence{});
            }
            stored = found->first;
            index = found->second;
        }
        recent_[next_recent_++ % recent_.size()] = Recent{stored, index};
        return index;
    }

    Evidence& evidence(std::size_t index) { return used_[index].second; }
    const std::vector<std::pair<std::string, Evidence>>& used() const { return used_; }

    // Adds what `later` (the same declarations, over records that follow these) found.
    void merge(const UsedIds& later) {
        for (const auto& [id, evidence] : later.used_) {
            const std::size_t index = use_index(id);
            if (index != declared_index) combine(used_[index].second, evidence);
        }
    }

private:
    static void combine(Evidence& into, const Evidence& from) {
        into.used_without_value |= from.used_without_value;
        into.used_with_value |= from.used_with_value;
        into.any_present |= from.any_present;
        into.all_integer &= from.all_integer;
        into.all_float &= from.all_float;
        into.all_single &= from.all_single;
        into.all_pairs &= from.all_pairs;
    }

    StringSet declared_;
    StringMap<std::size_t> index_;
    std::vector<std::pair<std::string, Evidence>> used_;
    struct Recent {
        std::string_view id;
        std::size_t index;
    };
    std::array<Recent, 12> recent_{};
    std::size_t next_recent_ = 0;
};

// Calls `each` for every piece of `text` between separators, empty ones included.
template <typename Each>
void for_each_piece(std::string_view text, char separator, Each&& each) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            each(text.substr(start));
            return;
        }
        each(text.substr(start, end - start));
        start = end + 1;
    }
}

class RecordScanner {
public:
    explicit RecordScanner(const std::vector<std::string>& header) {
        std::string id;
        for (const std::string& line : header) {
            if (structured_id(line, "##INFO=<", id)) info_.declare(id);
            else if (structured_id(line, "##FORMAT=<", id)) format_.declare(id);
            else if (structured_id(line, "##FILTER=<", id)) filter_.declare(id);
            else if (structured_id(line, "##ALT=<", id)) alt_.declare(id);
        }
    }

    void scan(std::string_view record) {
        if (!record.empty() && record.back() == '\n') record.remove_suffix(1);
        std::string_view fields[9];
        std::size_t count = 0;
        std::size_t start = 0;
        std::string_view samples;
        bool have_samples = false;
        while (count < 9) {
            const std::size_t tab = record.find('\t', start);
            if (tab == std::string_view::npos) {
                fields[count++] = record.substr(start);
                break;
            }
            fields[count++] = record.substr(start, tab - start);
            start = tab + 1;
            if (count == 9) {
                samples = record.substr(start);
                have_samples = true;
            }
        }
        if (count > 4) scan_alt(fields[4]);
        if (count > 6) scan_filter(fields[6]);
        if (count > 7) scan_info(fields[7]);
        if (count > 8) scan_format(fields[8], have_samples ? std::optional<std::string_view>(samples) : std::nullopt);
    }

    void merge(const RecordScanner& later) {
        info_.merge(later.info_);
        format_.merge(later.format_);
        filter_.merge(later.filter_);
        alt_.merge(later.alt_);
    }

    void append_lines(std::vector<std::string>& lines) const {
        for (const auto& [id, evidence] : info_.used())
            if (declarable(id)) lines.push_back(key_declaration("INFO", id, find_definition(standard_info, id), evidence, true));
        for (const auto& [id, evidence] : format_.used())
            if (declarable(id))
                lines.push_back(key_declaration("FORMAT", id, find_definition(standard_format, id), evidence, false));
        for (const auto& entry : filter_.used())
            if (declarable(entry.first)) lines.push_back(plain_declaration("FILTER", entry.first, generic_description));
        for (const auto& entry : alt_.used()) {
            if (!declarable(entry.first)) continue;
            const Definition* standard = find_definition(standard_alt, entry.first);
            lines.push_back(plain_declaration("ALT", entry.first, standard ? standard->description : generic_description));
        }
    }

private:
    void scan_alt(std::string_view alt) {
        for_each_piece(alt, ',', [this](std::string_view allele) {
            if (allele.size() >= 2 && allele.front() == '<' && allele.back() == '>')
                alt_.use(allele.substr(1, allele.size() - 2));
        });
    }

    void scan_filter(std::string_view filter) {
        if (filter == "." || filter == "PASS") return;
        for_each_piece(filter, ';', [this](std::string_view value) {
            if (!value.empty() && value != "PASS" && value != ".") filter_.use(value);
        });
    }

    void scan_info(std::string_view info) {
        if (info == ".") return;
        for_each_piece(info, ';', [this](std::string_view entry) {
            if (entry.empty() || entry == ".") return;
            const std::size_t equals = entry.find('=');
            if (equals == std::string_view::npos) {
                if (Evidence* evidence = info_.use(entry)) observe(*evidence, std::nullopt);
            } else if (Evidence* evidence = info_.use(entry.substr(0, equals))) {
                observe(*evidence, entry.substr(equals + 1));
            }
        });
    }

    void scan_format(std::string_view format, std::optional<std::string_view> samples) {
        if (format == "." || format.empty()) return;
        // Most records repeat the FORMAT of the one before; when all of its keys
        // are declared there is nothing to look at.
        if (format == last_declared_format_) return;
        keys_.clear();
        bool all_declared = true;
        for_each_piece(format, ':', [&](std::string_view key) {
            const std::size_t index = key.empty() ? UsedIds::declared_index : format_.use_index(key);
            if (index != UsedIds::declared_index) all_declared = false;
            keys_.push_back(index);
        });
        if (all_declared) {
            last_declared_format_.assign(format);
            return;
        }
        if (!samples) return;
        for_each_piece(*samples, '\t', [&](std::string_view sample) {
            std::size_t index = 0;
            for_each_piece(sample, ':', [&](std::string_view value) {
                if (index < keys_.size() && keys_[index] != UsedIds::declared_index)
                    observe(format_.evidence(keys_[index]), value);
                ++index;
            });
        });
    }

    UsedIds info_, format_, filter_, alt_;
    std::vector<std::size_t> keys_;  // per FORMAT key: its evidence, or declared_index
    std::string last_declared_format_;
};

}  // namespace

bool structured_id(std::string_view line, std::string_view prefix, std::string& id) {
    if (!starts_with(line, prefix)) return false;
    std::string_view body = line.substr(prefix.size());
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.remove_suffix(1);
    if (!body.empty() && body.back() == '>') body.remove_suffix(1);
    // key=value pairs separated by commas; a value may be quoted, with \" inside.
    std::size_t i = 0;
    while (i < body.size()) {
        const std::size_t key_start = i;
        while (i < body.size() && body[i] != '=' && body[i] != ',') ++i;
        const std::string_view key = body.substr(key_start, i - key_start);
        std::string value;
        if (i < body.size() && body[i] == '=') {
            ++i;
            if (i < body.size() && body[i] == '"') {
                ++i;
                while (i < body.size() && body[i] != '"') {
                    if (body[i] == '\\' && i + 1 < body.size()) ++i;
                    value += body[i++];
                }
                if (i < body.size()) ++i;  // closing quote
                while (i < body.size() && body[i] != ',') ++i;
            } else {
                const std::size_t value_start = i;
                while (i < body.size() && body[i] != ',') ++i;
                value.assign(body.substr(value_start, i - value_start));
            }
        }
        if (key == "ID") {
            id = std::move(value);
            return true;
        }
        if (i < body.size()) ++i;  // the comma
    }
    return false;
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
        if (starts_with(line, "##fileformat=")) return true;
    return false;
}

std::vector<std::string> missing_declarations(const std::vector<std::string>& header, const VcfRecords& records) {
    std::vector<std::string> lines;
    StringSet contigs;
    for (std::string& id : declared_contigs(header)) contigs.insert(std::move(id));
    for (const std::string& contig : records.contigs)
        if (contigs.find(contig) == contigs.end() && declarable(contig)) lines.push_back("##contig=<ID=" + contig + ">\n");

    // Scanned in two halves at once on a large input; the second half's
    // findings are merged after the first's, keeping the order of first use.
    const std::size_t count = records.size();
    const bool split = count >= parallel_scan_records && std::thread::hardware_concurrency() > 1;
    const std::size_t middle = split ? count / 2 : count;
    RecordScanner scanner(header);
    std::optional<RecordScanner> later;
    if (split) later.emplace(header);
    std::exception_ptr later_error;
    std::atomic<bool> stop{false};  // set when the caller's half fails, so the helper ends early
    std::thread helper;
    if (split)
        helper = std::thread([&] {
            try {
                for (std::size_t i = middle; i < count && !(i % poll_every == 0 && stop.load()); ++i)
                    later->scan(records.record(i));
            } catch (...) {
                later_error = std::current_exception();
            }
        });
    try {
        for (std::size_t i = 0; i < middle; ++i) {
            if (i % poll_every == 0) poll_interrupt();
            scanner.scan(records.record(i));
        }
    } catch (...) {
        stop = true;
        if (helper.joinable()) helper.join();
        throw;
    }
    if (helper.joinable()) helper.join();
    if (later_error) std::rethrow_exception(later_error);
    if (later) scanner.merge(*later);
    scanner.append_lines(lines);
    return lines;
}

}  // namespace callfold::compression
