#include "unifier/roh_input.hpp"

#include <algorithm>

#include "common/errors.hpp"
#include "common/int_text.hpp"
#include "common/whitespace.hpp"
#include "common/vcf_fields.hpp"
#include "unifier/file_types.hpp"

namespace callfold::unifier {
namespace {

// One bit wider than the bounds, so that the largest start plus one is exact.
__extension__ typedef __int128 wide_int;
__extension__ typedef unsigned __int128 wide_uint;

// Chromosome, start, end and score.
using BedColumns = LineColumns<4>;

std::string_view field(const BedColumns& fields, std::size_t index) {
    if (index >= fields.count()) throw MissingField(index, fields.count());
    return fields[index];
}

std::int64_t bound(std::string_view text) {
    const IntText parsed = parse_int_text(text);
    if (parsed.status == IntText::Status::invalid) throw InvalidInteger(std::string(text));
    if (parsed.status == IntText::Status::overflow)
        throw OverflowError("ROH bound does not fit in 64 bits: " + std::string(text));
    return parsed.value;
}

// Decimal text of a value one past the 64-bit range at most.
std::string decimal(wide_int value) {
    const bool negative = value < 0;
    wide_uint magnitude = negative ? static_cast<wide_uint>(-(value + 1)) + 1 : static_cast<wide_uint>(value);
    std::string digits;
    do {
        digits.push_back(static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) digits.push_back('-');
    std::reverse(digits.begin(), digits.end());
    return digits;
}

}  // namespace

bool roh_lines_are_bed(const std::vector<std::string_view>& lines, const std::string_view* declared) {
    if (declared != nullptr && *declared == roh_format_bed) return true;
    if (declared != nullptr && *declared == roh_format_vcf) return false;
    return std::none_of(lines.begin(), lines.end(), holds_column_header);
}

bool roh_bed_line_is_skipped(std::string_view line) {
    return (!line.empty() && line.front() == '#') || strip_whitespace(line).empty();
}

std::string roh_bed_line_to_vcf(std::string_view bed_line) {
    const BedColumns fields(strip_whitespace(bed_line));
    // The end is parsed before the start, as the bounds are ordered.
    const std::int64_t end_bound = bound(field(fields, 2));
    const std::int64_t start_bound = bound(field(fields, 1));
    const std::string_view chromosome = field(fields, 0);
    const std::string_view score = field(fields, 3);

    const wide_int pos = static_cast<wide_int>(std::min(start_bound, end_bound)) + 1;
    const std::int64_t end = std::max(start_bound, end_bound);

    std::string record;
    record.reserve(chromosome.size() + score.size() + 80);
    record.append(chromosome);
    record.append("\t");
    record.append(decimal(pos));
    record.append("\t.\tN\t<ROH>\t.\tPASS\tEND=");
    record.append(decimal(end));
    record.append(";SVTYPE=ROH;ROH_SCORE=");
    record.append(score);
    record.append("\tGT\t1/1\n");
    return record;
}

}  // namespace callfold::unifier
