#include "compression/missing_declarations.hpp"

#include <algorithm>
#include <optional>

#include "common/parallel_ranges.hpp"
#include "common/string_map.hpp"
#include "compression/declaration_lines.hpp"
#include "compression/header_lines.hpp"
#include "compression/record_usage.hpp"

namespace callfold::compression {
namespace {

// Below this many records a second thread costs more than it saves.
constexpr std::size_t records_per_thread = 200000;

}  // namespace

std::vector<std::string> missing_declarations(const std::vector<std::string>& header, const VcfRecords& records,
                                              const DeclarationScan& how) {
    std::vector<std::string> lines;
    StringSet contigs;
    for (std::string& id : declared_contigs(header)) contigs.insert(std::move(id));
    for (const std::string& contig : records.contigs)
        if (contigs.find(contig) == contigs.end() && declarable(contig)) lines.push_back("##contig=<ID=" + contig + ">\n");

    // Each range of records is scanned on its own; the later ranges' findings
    // are merged in order, which keeps the order of first use.
    const std::size_t ranges = std::min(std::max<std::size_t>(how.threads, 1), ranges_for(records.size(), records_per_thread));
    std::vector<std::optional<RecordUsage>> usage(ranges);
    run_in_ranges(records.size(), ranges, [&](std::size_t begin, std::size_t end, const RangeStop& stop) {
        RecordUsage& scanner = usage[stop.range()].emplace(header, how.remember_recent);
        for (std::size_t i = begin; i < end; ++i) {
            if (stop.due(i - begin)) return;
            scanner.scan(records.record(i));
        }
    });
    for (std::size_t range = 1; range < ranges; ++range) usage[0]->merge(*usage[range]);
    usage[0]->append_lines(lines);
    return lines;
}

}  // namespace callfold::compression
