// The binning index shared by TBI and CSI: per reference sequence, bins of a
// hierarchy (the root covering 2^(min_shift + 3 * depth) positions, each bin
// split in eight below it, 2^min_shift positions at the lowest level) that list
// the chunks of the file holding records placed in them, and the offset of the
// first record reaching each 2^min_shift window (TBI's linear index, CSI's loff).
// Built from records in file order, as they are written; chunks are merged as
// htslib merges them, so a reader fetches no more blocks than through an index
// htslib built.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "compression/vcf_index_span.hpp"

namespace callfold::compression {

class BinningIndex {
public:
    BinningIndex(int min_shift, int depth);

    // One past the last position a hierarchy covers.
    static std::int64_t max_end(int min_shift, int depth) { return std::int64_t{1} << (min_shift + 3 * depth); }

    // One record; records come in file order, all of a reference together and by
    // ascending beg, references numbered 0, 1, ... as they first appear, the span
    // within max_end. `start` and `stop` are where its line starts and ends in
    // any coordinate that grows along the file (the uncompressed stream while
    // the blocks are still being compressed): finish() turns them into virtual offsets.
    void add(std::uint32_t reference, IndexSpan span, std::uint64_t start, std::uint64_t stop);

    // Call once, after the last record, with the function from the coordinate
    // given to add() to virtual offsets (it must keep their order).
    void finish(const std::function<std::uint64_t(std::uint64_t)>& virtual_offset);

    // The whole uncompressed index file. `tabix_meta` is the tabix header that
    // follows the reference count in a TBI (format, columns, meta char, skip and
    // the sequence names), stored in a CSI as its auxiliary data.
    std::string tbi(std::string_view tabix_meta) const;
    std::string csi(std::string_view tabix_meta) const;

private:
    struct Chunk {
        std::uint64_t begin;
        std::uint64_t end;
    };
    struct Bin {
        std::uint64_t loff = 0;  // linear-index offset of its first window (CSI)
        std::vector<Chunk> chunks;
    };
    // Consecutive windows whose linear-index offset is the start of one record.
    struct WindowRun {
        std::int64_t first;
        std::int64_t last;
        std::uint64_t offset;
    };
    struct Reference {
        std::unordered_map<std::uint32_t, Bin> bins;
        // Records arrive by ascending beg, so the windows a record is the first to
        // reach are those past every earlier record's reach: one run per record at
        // most, whatever its length, instead of one entry per window.
        std::vector<WindowRun> windows;
        std::uint64_t first = 0;  // start of its first record
        std::uint64_t last = 0;   // end of its last record
        std::uint64_t records = 0;
        std::int64_t last_beg = 0;
    };

    // A run of consecutive records of one bin: the bin's chunk that holds them.
    struct BinnedChunk {
        std::uint32_t bin;
        Chunk chunk;
    };

    std::uint32_t bin_of(IndexSpan span) const;
    std::int64_t first_window_of(std::uint32_t bin) const;
    void file_pending();
    void merge_small_bins(Reference& reference) const;
    void append_references(std::string& out, bool csi) const;

    int min_shift_;
    int depth_;
    std::vector<Reference> references_;
    // The chunks of the current reference in file order, the last one open; they
    // go to their bins when the reference ends, so that adding a record touches
    // only memory at the ends of sequential arrays.
    std::vector<BinnedChunk> pending_;
    bool finished_ = false;
};

}  // namespace callfold::compression
