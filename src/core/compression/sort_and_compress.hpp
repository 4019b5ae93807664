// The whole sort-and-compress step: read a VCF, sort its records for tabix,
// declare in its header what the records use, write it as BGZF beside the input
// and remove the input once the compressed file is complete and on disk.
#pragma once

#include <string>

namespace callfold::compression {

struct SortAndCompressOptions {
    int level = 6;         // DEFLATE level of the BGZF blocks
    unsigned threads = 0;  // compression threads; 0 chooses from the machine and the input size
};

// Returns the path of the written file, `path` + ".gz". Throws VcfInputError
// (a record without CHROM or integer POS, a record whose column count is not the
// column header's, a second column header that differs from the first, or no
// "#CHROM" line), OsError, DecodeError or GzipError; after any of them the input
// is unchanged and nothing is left under the output name or a temporary one.
std::string sort_and_compress(const std::string& path, const SortAndCompressOptions& options = {});

}  // namespace callfold::compression
