#include "compression/record_usage.hpp"

#include "common/vcf_text.hpp"
#include "common/tab_columns.hpp"
#include "compression/declaration_lines.hpp"
#include "compression/header_lines.hpp"

namespace callfold::compression {
namespace {

constexpr std::size_t alt_column = 4;
constexpr std::size_t filter_column = 6;
constexpr std::size_t info_column = 7;
constexpr std::size_t format_column = 8;

}  // namespace

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

}  // namespace callfold::compression
