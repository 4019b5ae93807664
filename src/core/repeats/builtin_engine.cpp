#include "repeats/builtin_engine.hpp"

#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/output_file.hpp"
#include "common/py_whitespace.hpp"
#include "repeats/catalog.hpp"
#include "repeats/overlap_index.hpp"
#include "repeats/path_identity.hpp"
#include "common/path_text.hpp"
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

bool is_blank(std::string_view line) { return py_strip(line).empty(); }

// Length of the first line of `text` with its "\n" (all of it without one).
std::size_t line_length(std::string_view text) {
    const void* newline = std::memchr(text.data(), '\n', text.size());
    return newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - text.data()) + 1 : text.size();
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

        std::string_view lines;
        std::optional<RecordSpan> span;
        std::uint64_t lines_read = 0;  // to say where a read error arose
        for (;;) {
            try {
                if (!source->next_lines(lines)) break;
            } catch (...) {
                rethrow_read_error(*source, "repeat VCF", lines_read);
            }
            while (!lines.empty()) {
                ++lines_read;
                std::size_t length;
                const auto first = static_cast<unsigned char>(lines.front());
                if (first == '#') {
                    length = line_length(lines);
                    destination.write(lines.substr(0, length));
                    lines.remove_prefix(length);
                    continue;
                }
                if (first > ' ' && first < 0x80) {
                    length = scan_record_line(lines, span);  // the common case: no leading whitespace
                } else {
                    length = line_length(lines);
                    if (is_blank(lines.substr(0, length))) {
                        lines.remove_prefix(length);
                        continue;
                    }
                    span = record_span(lines.substr(0, length));
                }
                if (span && catalog->overlaps(*span)) {
                    destination.write(lines.substr(0, length));
                    ++counts.kept;
                } else {
                    ++counts.dropped;
                }
                lines.remove_prefix(length);
            }
        }
        destination.close();
        source->close();
    }
    log(LogLevel::info, "Repeat records kept: %d, outside the catalog: %d", {counts.kept, counts.dropped});
    return counts;
}

}  // namespace callfold::repeats
