#include "compression/vcf_index_span.hpp"

#include <algorithm>
#include <limits>

#include "common/vcf_text.hpp"
#include "common/tab_columns.hpp"

namespace callfold::compression {
namespace {

// Readers look at no more ALT alleles than this.
constexpr std::size_t most_alt_alleles = 65535;
constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();

bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// C's strtoll(text, nullptr, 0) (`any_base`) or atoll(text) over text that is
// not NUL-terminated.
std::int64_t c_integer(std::string_view text, bool any_base) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (any_base && i < text.size() && text[i] == '0') {
        // "0x" counts as a prefix only before a hexadecimal digit; otherwise the 0 is the number.
        if (i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') && digit_value(text[i + 2]) < 16) {
            base = 16;
            i += 2;
        } else {
            base = 8;
        }
    }
    // Magnitudes up to 2^63 are exact (the most negative value); beyond, the result saturates.
    constexpr std::uint64_t limit = std::uint64_t{1} << 63;
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const int digit = digit_value(text[i]);
        if (digit >= base) break;
        if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base))
            overflow = true;
        else
            magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    if (negative) {
        if (overflow || magnitude == limit) return std::numeric_limits<std::int64_t>::min();
        return -static_cast<std::int64_t>(magnitude);
    }
    if (overflow || magnitude == limit) return most;
    return static_cast<std::int64_t>(magnitude);
}

std::int64_t add_saturating(std::int64_t a, std::int64_t b) { return a > most - b ? most : a + b; }

// The text after the first entry `key` (with its "=") of an INFO field, to the
// field's end; false when there is none.
bool info_value(std::string_view info, std::string_view key, std::string_view& value) {
    std::size_t at = 0;
    if (info.starts_with(key)) {
        at = key.size();
    } else {
        at = info.find(key);
        // Another key ending in `key` ("SVEND=") is no match: look for the entry proper.
        while (at != std::string_view::npos && info[at - 1] != ';') at = info.find(key, at + 1);
        if (at == std::string_view::npos) return false;
        at += key.size();
    }
    value = info.substr(at);
    return true;
}

// Symbolic alleles whose length readers take from SVLEN: <DEL>, <DUP>, <CNV>,
// <INV> and their subtypes (<DEL:ME>, <DUP:TANDEM>, <CNV:TR>, ...).
bool sized_by_svlen(std::string_view allele) {
    if (allele.size() < 5 || allele.back() != '>' || (allele[4] != '>' && allele[4] != ':')) return false;
    const std::string_view type = allele.substr(0, 4);
    return type == "<DEL" || type == "<DUP" || type == "<CNV" || type == "<INV";
}

// Calls each(allele) for the ALT alleles readers look at.
template <class Each>
void for_each_alt_allele(std::string_view alt, Each&& each) {
    std::size_t count = 0;
    for_each_field(alt, ',', [&](std::string_view allele) {
        if (count++ < most_alt_alleles) each(allele);
    });
}

// The longest length that SVLEN gives: the i-th value (split at every "," up to
// the end of INFO) belongs to the i-th ALT allele, and counts only for an
// allele sized by it; any other allele with a value counts as 1.
std::int64_t svlen_length(std::string_view alt, std::string_view values) {
    std::int64_t longest = 0;
    bool more_values = true;
    for_each_alt_allele(alt, [&](std::string_view allele) {
        if (!more_values) return;
        const std::size_t comma = values.find(',');
        std::int64_t length = 1;
        if (sized_by_svlen(allele)) {
            length = c_integer(values, false);
            // A deletion's SVLEN is negative; the most negative value has no magnitude and counts for nothing.
            if (length < 0) length = length == std::numeric_limits<std::int64_t>::min() ? 0 : -length;
        }
        longest = std::max(longest, length);
        more_values = comma != std::string_view::npos;
        if (more_values) values.remove_prefix(comma + 1);
    });
    return longest;
}

bool holds_reference_block(std::string_view alt) {
    bool found = false;
    for_each_alt_allele(alt, [&](std::string_view allele) { found = found || allele == "<*>" || allele == "<NON_REF>"; });
    return found;
}

// The longest FORMAT LEN of the samples (a gVCF reference block's length), or 0.
std::int64_t format_length(std::string_view format, std::string_view samples) {
    std::size_t len_key = 0;
    bool found = false;
    for_each_field(format, ':', [&](std::string_view key) {
        if (found) return;
        if (key == "LEN") found = true;
        else ++len_key;
    });
    if (!found) return 0;
    std::int64_t longest = 0;
    for_each_field(samples, '\t', [&](std::string_view sample) {
        std::size_t key = 0;
        std::size_t at = 0;
        while (key < len_key) {
            at = sample.find(':', at);
            if (at == std::string_view::npos) return;
            ++at;
            ++key;
        }
        longest = std::max(longest, c_integer(sample.substr(at), false));
    });
    return longest;
}

}  // namespace

IndexSpan vcf_index_span(std::string_view record) {
    record = without_line_end(record);
    const LineColumns<format_column + 1> column(record);
    IndexSpan span{0, 1};
    if (column.count() > pos_column) {
        const std::int64_t pos = c_integer(column[pos_column], true);
        span = {pos < 1 ? 0 : pos - 1, pos < 1 ? 1 : pos};
    }
    std::int64_t length = column.count() > ref_column ? static_cast<std::int64_t>(column[ref_column].size()) : 0;

    std::string_view value;
    if (column.count() > info_column) {
        const std::string_view info = column[info_column];
        if (info_value(info, "END=", value) && !value.starts_with('.')) {
            const std::int64_t end = c_integer(value, true);
            if (end > span.beg) span.end = std::max(span.end, end);
        }
        // Only a symbolic ALT allele can make SVLEN or LEN count.
        const std::string_view alt = column[alt_column];
        if (alt.find('<') != std::string_view::npos) {
            if (info_value(info, "SVLEN=", value)) length = std::max(length, svlen_length(alt, value));
            if (column.count() > format_column && column.more() && holds_reference_block(alt))
                length = std::max(length, format_length(column[format_column], column.rest()));
        }
    }
    span.end = std::max(span.end, add_saturating(span.beg, length));
    return span;
}

std::int64_t indexed_contig_length(std::string_view header_line) {
    if (!header_line.starts_with("##contig")) return 0;
    std::size_t at = header_line.find("length", 8);
    if (at == std::string_view::npos) return 0;
    for (at += 6; at < header_line.size() && (header_line[at] == ' ' || header_line[at] == '='); ++at) {
    }
    return std::max<std::int64_t>(0, c_integer(header_line.substr(at), false));
}

}  // namespace callfold::compression
