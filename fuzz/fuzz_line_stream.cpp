// Reading arbitrary bytes as plain and as gzip text: either lines come out that
// hold no "\r" and end in "\n" (but the last), or a reader error is thrown;
// streaming line by line and taking the whole text agree. The input is also
// cut into BGZF blocks, one of its bytes then changed or the file cut short,
// and read on one thread and on several: the same text and the same error.
#include <algorithm>
#include <cstring>
#include <string>

#include "common/deflate.hpp"
#include "common/errors.hpp"
#include "common/line_stream.hpp"
#include "common/parallel_ranges.hpp"
#include "fuzz_input_file.hpp"

namespace {

bool stream_lines(const std::string& path, callfold::Compression compression, std::string& text) {
    try {
        callfold::LineStream stream(path, compression);
        std::string_view line;
        bool unterminated_seen = false;
        while (stream.next(line)) {
            callfold::fuzz::require(!unterminated_seen && !line.empty());
            callfold::fuzz::require(line.find('\r') == std::string_view::npos);
            callfold::fuzz::require(line.find('\n') == line.size() - 1 || line.find('\n') == std::string_view::npos);
            unterminated_seen = line.back() != '\n';
            text.append(line);
        }
        return true;
    } catch (const callfold::InvalidUtf8&) {
    } catch (const callfold::DamagedGzip&) {
    }
    return false;
}

void put_le(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// The input as BGZF blocks of a size its first byte chooses (many blocks, so
// that several are read ahead), then damaged as its next bytes say.
std::string damaged_bgzf(const std::uint8_t* data, std::size_t size) {
    const std::size_t block = 16 + (size > 0 ? data[0] : 0);
    callfold::BlockDeflater deflater(1);
    std::string out;
    std::string deflated(block + 1024, '\0');
    for (std::size_t at = 0;; at += block) {
        const std::size_t take = at < size ? std::min(block, size - at) : 0;
        const std::string_view chunk(reinterpret_cast<const char*>(data) + std::min(at, size), take);
        const std::size_t length =
            deflater.compress(chunk, reinterpret_cast<unsigned char*>(deflated.data()), deflated.size());
        callfold::fuzz::require(length > 0);
        out.append("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0", 16);
        put_le(out, static_cast<std::uint32_t>(length + 25), 2);
        out.append(deflated, 0, length);
        put_le(out, callfold::crc32_of(0, chunk.data(), chunk.size()), 4);
        put_le(out, static_cast<std::uint32_t>(take), 4);
        if (take == 0) break;  // the end-of-file block
    }
    if (size >= 4) {
        const std::size_t at = (std::size_t{data[1]} << 8 | data[2]) % out.size();
        if (data[3] & 1) out.resize(at);
        else out[at] = static_cast<char>(out[at] ^ (data[3] | 1));
    }
    return out;
}

struct Reading {
    std::string text;
    int error = 0;  // 0, or which error ended the reading
    int kind = -1;
    callfold::LineStream::Pending pending{0, {}};
};

Reading read_on(const std::string& path, unsigned threads) {
    const callfold::ThreadCap cap(threads);
    callfold::LineStream stream(path, callfold::Compression::gzip);
    Reading reading;
    try {
        std::string_view lines;
        while (stream.next_lines(lines)) reading.text.append(lines);
    } catch (const callfold::DamagedGzip& error) {
        reading.error = 1;
        reading.kind = static_cast<int>(error.kind);
    } catch (const callfold::InvalidUtf8&) {
        reading.error = 2;
    }
    if (reading.error != 0) reading.pending = stream.pending();
    return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const callfold::fuzz::InputFile input(data, size);
    for (const auto compression : {callfold::Compression::plain, callfold::Compression::gzip}) {
        std::string streamed;
        const bool ok = stream_lines(input.path(), compression, streamed);
        try {
            const callfold::TextLines whole = callfold::read_lines(callfold::open_file_source(input.path()), compression, size);
            callfold::fuzz::require(ok);
            callfold::fuzz::require(std::string_view(whole.text.data(), whole.text.size()) == streamed);
        } catch (const callfold::InputLocation& where) {
            callfold::fuzz::require_located<callfold::InvalidUtf8, callfold::DamagedGzip>(where);
            callfold::fuzz::require(!ok);
        }
    }
    const std::string blocks = damaged_bgzf(data, size);
    const callfold::fuzz::InputFile bgzf(reinterpret_cast<const std::uint8_t*>(blocks.data()), blocks.size(), ".bgzf");
    const Reading one = read_on(bgzf.path(), 1);
    const Reading several = read_on(bgzf.path(), 3);
    callfold::fuzz::require(one.text == several.text && one.error == several.error && one.kind == several.kind);
    callfold::fuzz::require(one.pending.complete_lines == several.pending.complete_lines &&
                            one.pending.line_start == several.pending.line_start);
    return 0;
}
