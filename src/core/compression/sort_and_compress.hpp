// The whole sort-and-compress step: read a VCF, sort its records for tabix,
// declare in its header what the records use, write it as BGZF beside the input
// (with its tabix index when asked) and remove the input once the compressed
// file is complete and on disk.
#pragma once

#include <string>

namespace callfold::compression {

struct SortAndCompressOptions {
    int level = 6;         // DEFLATE level of the BGZF blocks
    unsigned threads = 0;  // at most this many threads at once; 0: the cores available. The bytes written never depend on it
    bool index = false;    // write `path`.gz.tbi, or .csi when a record lies beyond what TBI describes
    bool csi = false;      // write `path`.gz.csi (implies index)
    // 0: the records are sorted in memory. Otherwise the bytes the records may
    // take in memory at once: beyond it, sorted parts of them go to a temporary
    // file (in `temp_dir`, or the input's directory when empty) and are merged.
    // The files written are the same either way.
    std::size_t max_memory = 0;
    std::string temp_dir;
};

// The files written: the compressed VCF and its index (empty when none was asked for).
struct SortedFiles {
    std::string compressed;
    std::string index;
};

// Writes `path` + ".gz" (and its index when asked). An index left beside it
// by an earlier run is removed, whether or not one is written. Throws
// VcfInputError (a record without CHROM or integer POS, a record whose column
// count is not the column header's, a second column header that differs from
// the first, or no "#CHROM" line; with an index, a record it cannot describe),
// SystemCallFailed, InvalidUtf8 or DamagedGzip; after any of them the input is unchanged
// and nothing is left under the output or index names or a temporary one.
SortedFiles sort_and_compress(const std::string& path, const SortAndCompressOptions& options = {});

}  // namespace callfold::compression
