#include "repeats/builtin_engine.hpp"

#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/py_whitespace.hpp"
#include "repeats/catalog.hpp"
#include "repeats/output_file.hpp"
#include "repeats/overlap_index.hpp"
#include "repeats/path_identity.hpp"
#include "repeats/path_text.hpp"
#include "repeats/record_span.hpp"
#include "repeats/vcf_source.hpp"

namespace callfold::repeats {
namespace {

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// The catalog as one overlap index per chromosome. Records come grouped by
// chromosome, so the last lookup is remembered.
class CatalogIndex {
public:
    explicit CatalogIndex(const Catalog& catalog) {
        for (std::size_t i = 0; i < catalog.chromosomes.size(); ++i)
            by_name_.emplace(catalog.chromosomes[i], OverlapIndex(catalog.intervals[i]));
    }

    bool overlaps(const RecordSpan& span) {
        if (!has_last_ || span.chromosome != last_name_) {
            const auto found = by_name_.find(span.chromosome);
            last_ = found == by_name_.end() ? nullptr : &found->second;
            last_name_.assign(span.chromosome);
            has_last_ = true;
        }
        return last_ != nullptr && last_->overlaps(span.start, span.end);
    }

private:
    std::unordered_map<std::string, OverlapIndex, StringHash, std::equal_to<>> by_name_;
    std::string last_name_;
    const OverlapIndex* last_ = nullptr;
    bool has_last_ = false;
};

bool is_blank(std::string_view line) {
    // Most lines start with a character that is not whitespace.
    if (py_space_at(line, 0) == 0) return line.empty();
    return py_strip(line).empty();
}

}  // namespace

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
        refuse_output_over_inputs(repeat_path, bed_path, output_path);
        OutputFile destination(output_path);

        std::string_view line;
        while (source->next(line)) {
            if (line.starts_with('#')) {
                destination.write(line);
                continue;
            }
            if (is_blank(line)) continue;
            const std::optional<RecordSpan> span = record_span(line);
            if (span && catalog->overlaps(*span)) {
                destination.write(line);
                ++counts.kept;
            } else {
                ++counts.dropped;
            }
        }
        destination.close();
        source->close();
    }
    log(LogLevel::info, "Repeat records kept: %d, outside the catalog: %d", {counts.kept, counts.dropped});
    return counts;
}

}  // namespace callfold::repeats
