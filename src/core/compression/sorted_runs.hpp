// Sorting records that do not fit in memory: each part of them is sorted by
// (contig, POS) and written as a run to one unnamed temporary file, a BGZF
// stream at a fast level (its blocks compressed on the writer's threads while
// the records are read); the runs are then merged contig by contig in the order the
// header ranks the contigs. The file has no name from the moment it is created,
// so nothing of it outlives the process, however the work ends.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/system_io.hpp"
#include "compression/bgzf_writer.hpp"
#include "compression/vcf_index_span.hpp"
#include "compression/vcf_records.hpp"

namespace callfold::compression {

class SortedRuns {
public:
    // Creates the temporary file in `directory`; SystemCallFailed naming it when
    // it cannot. With `keep_spans` each record's span is kept beside it.
    SortedRuns(const std::string& directory, bool keep_spans);
    ~SortedRuns();
    SortedRuns(const SortedRuns&) = delete;
    SortedRuns& operator=(const SortedRuns&) = delete;

    // Sorts `part` (records of VcfRecordCollector::take_records; contig IDs
    // are the same in every part) and appends it as a run; `spans`: those of
    // its records in their order, when spans are kept.
    void add(const VcfRecords& part, const std::vector<IndexSpan>& spans);

    std::size_t runs() const { return runs_.size(); }

    // Calls emit(contig, line, span) for every record: the contigs in the order of
    // `contig_order` (contig IDs), each one's records by POS, ties in the order
    // they were added. `span` is {0, 0} when spans are not kept.
    void merge(const std::vector<std::uint32_t>& contig_order,
               const std::function<void(std::uint32_t contig, std::string_view line, const IndexSpan& span)>& emit);

private:
    struct Segment {  // the records of one contig in one run
        std::uint64_t offset;  // uncompressed, in the BGZF stream
        std::uint64_t count;
    };

    std::string directory_;
    FileDescriptor file_;
    bool keep_spans_;
    std::unique_ptr<BgzfWriter> writer_;  // until the merge
    std::string entry_;
    // runs_[run][contig]: the run's segment of that contig (count 0 when none).
    std::vector<std::vector<Segment>> runs_;
};

}  // namespace callfold::compression
