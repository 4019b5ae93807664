// The sort-and-compress step on arbitrary text: it either writes a BGZF file
// that decompresses to at least every record line it was given and removes the
// input, or throws one of its errors and leaves the input as it was. Inputs whose
// size is odd are also indexed: then a TBI or CSI file is written beside the
// result, and never one without the other.
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>

#include "common/errors.hpp"
#include "compression/sort_and_compress.hpp"
#include "compression/vcf_records.hpp"
#include "fuzz_input_file.hpp"

using callfold::fuzz::require;

namespace {

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string gunzip(const std::string& compressed) {
    z_stream stream{};
    require(inflateInit2(&stream, 15 + 16) == Z_OK);
    std::string out;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    char buffer[1 << 16];
    while (stream.avail_in > 0) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        const int status = inflate(&stream, Z_NO_FLUSH);
        require(status == Z_OK || status == Z_STREAM_END);
        out.append(buffer, sizeof buffer - stream.avail_out);
        if (status == Z_STREAM_END) require(inflateReset(&stream) == Z_OK);
    }
    inflateEnd(&stream);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const callfold::fuzz::InputFile input(data, size, ".vcf");
    const std::string before(reinterpret_cast<const char*>(data), size);
    callfold::compression::SortAndCompressOptions options;
    options.threads = 1;
    options.index = size % 2 == 1;
    const std::string gz = input.path() + ".gz";
    try {
        const std::string output = callfold::compression::sort_and_compress(input.path(), options).compressed;
        require(std::ifstream(input.path()).fail());  // the input is gone
        const std::string text = gunzip(file_bytes(output));
        std::remove(output.c_str());
        require(!text.empty() && text.back() == '\n');
        const std::string tbi = file_bytes(gz + ".tbi");
        const std::string csi = file_bytes(gz + ".csi");
        std::remove((gz + ".tbi").c_str());
        std::remove((gz + ".csi").c_str());
        if (options.index) {
            const std::string index = gunzip(tbi.empty() ? csi : tbi);
            require(tbi.empty() != csi.empty());
            require(index.starts_with(tbi.empty() ? "CSI\1" : "TBI\1"));
        } else {
            require(tbi.empty() && csi.empty());
        }
    } catch (const callfold::InputLocation& where) {
        callfold::fuzz::require_located<callfold::VcfInputError, callfold::InvalidUtf8, callfold::DamagedGzip>(where);
        require(file_bytes(input.path()) == before);
    } catch (const callfold::VcfInputError& error) {
        // No column header at all, or records an index cannot describe.
        require(error.line == 0 && file_bytes(input.path()) == before);
    }
    require(std::ifstream(gz + ".tbi").fail() && std::ifstream(gz + ".csi").fail());
    return 0;
}
