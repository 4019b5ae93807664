#include "repeats/builtin_engine.hpp"

#include <memory>
#include <optional>
#include <string_view>

#include "common/output_file.hpp"
#include "common/file_status.hpp"
#include "repeats/catalog.hpp"
#include "common/output_guard.hpp"
#include "repeats/record_span.hpp"

namespace callfold::repeats {

IntersectCounts intersect_builtin(const std::string& repeat_path, const std::string& bed_path,
                                  const std::string& output_path, const LogSink& log) {
    require_path_text(repeat_path);
    require_path_text(bed_path);
    require_path_text(output_path);

    std::optional<CatalogIndex> catalog;
    {
        const Catalog intervals = read_bed_intervals(bed_path);
        catalog.emplace(intervals);
    }

    IntersectCounts counts;
    {
        std::unique_ptr<LineStream> source = open_vcf_text(repeat_path);
        refuse_filtered_output_over_inputs(repeat_path, bed_path, output_path);
        OutputFile destination(output_path);
        for_each_vcf_line(
            *source,
            [&](std::string_view header) {
                destination.write(header);
                catalog->see_header_line(header);
            },
            [&](std::string_view line, const std::optional<RecordSpan>& span) {
                if (span && catalog->overlaps(*span)) {
                    destination.write(line);
                    ++counts.kept;
                } else {
                    ++counts.dropped;
                }
                return true;
            });
        destination.close();
        source->close();
    }
    counts.naming = catalog->naming();
    log(LogLevel::info, "Repeat records kept: %d, outside the catalog: %d", {counts.kept, counts.dropped});
    return counts;
}

}  // namespace callfold::repeats
