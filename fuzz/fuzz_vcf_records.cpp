// Reading a VCF for sorting, two ways on arbitrary text: read whole and
// collected in parts of a few bytes (on several threads), and line by line.
// Both must give the same records, or the same error at the same place.
#include <exception>
#include <string>
#include <typeinfo>

#include "common/input_location.hpp"
#include "compression/vcf_records.hpp"
#include "fuzz_input_file.hpp"

using callfold::fuzz::require;

namespace {

// What a reading gave, as text to compare: every field of the records, or the
// error's kind, message and place.
template <class Read>
std::string outcome(const Read& read) {
    try {
        const callfold::compression::VcfRecords records = read();
        require(records.pos.size() == records.size() && records.contig.size() == records.size());
        std::string out = "records\n" + records.column_header;
        for (const std::string& line : records.meta) out += line;
        out.append(records.text.data(), records.text.size());
        for (std::size_t i = 0; i < records.size(); ++i)
            out += std::to_string(records.start[i + 1]) + " " + std::to_string(records.pos[i]) + " " +
                   records.contigs.at(records.contig[i]) + "\n";
        return out;
    } catch (const callfold::InputLocation& where) {
        std::string out = "at " + where.path + ":" + std::to_string(where.line) + " " + where.line_start + "\n";
        try {
            std::rethrow_if_nested(where);
        } catch (const std::exception& error) {
            out += typeid(error).name() + std::string(" ") + error.what();
        }
        return out;
    } catch (const std::exception& error) {
        return typeid(error).name() + std::string(" ") + error.what();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const callfold::fuzz::InputFile input(data, size, ".vcf");
    // Parts of one line or less up to parts of several lines.
    const std::size_t part_bytes = size == 0 ? 1 : 1 + data[size - 1] % 128 * 4;
    require(outcome([&] { return callfold::compression::read_vcf_records(input.path(), part_bytes); }) ==
            outcome([&] { return callfold::compression::read_vcf_records_by_line(input.path()); }));
    return 0;
}
