// The DEFLATE interface over zlib, for builds without libdeflate: one reset
// stream per block, run to its end in a single call.
#ifndef CALLFOLD_HAVE_LIBDEFLATE

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

#include "common/deflate.hpp"

namespace callfold {
namespace {

// zlib counts in uInt; blocks are far smaller, CRC input need not be.
constexpr std::size_t largest_call = std::numeric_limits<uInt>::max();

}  // namespace

// Heap-held: zlib keeps a pointer back to its z_stream, which must not move.
struct BlockDeflater::State {
    z_stream stream{};
};

BlockDeflater::BlockDeflater(int level) : state_(std::make_unique<State>()) {
    const int zlib_level = std::clamp(level, 0, Z_BEST_COMPRESSION);
    if (deflateInit2(&state_->stream, zlib_level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
}

BlockDeflater::~BlockDeflater() { deflateEnd(&state_->stream); }

std::size_t BlockDeflater::compress(std::string_view data, unsigned char* out, std::size_t room) {
    if (data.size() > largest_call || room > largest_call) return 0;
    z_stream& stream = state_->stream;
    if (deflateReset(&stream) != Z_OK) return 0;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(room);
    // Anything short of the stream's end means the output did not fit.
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) return 0;
    return room - stream.avail_out;
}

struct BlockInflater::State {
    z_stream stream{};
};

BlockInflater::BlockInflater() : state_(std::make_unique<State>()) {
    if (inflateInit2(&state_->stream, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
}

BlockInflater::~BlockInflater() { inflateEnd(&state_->stream); }

bool BlockInflater::inflate(const unsigned char* in, std::size_t in_size, char* out, std::size_t out_size) {
    if (in_size > largest_call || out_size > largest_call) return false;
    z_stream& stream = state_->stream;
    if (inflateReset(&stream) != Z_OK) return false;
    // zlib refuses a null output pointer even when nothing is to be written.
    unsigned char no_output = 0;
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = static_cast<uInt>(in_size);
    stream.next_out = out != nullptr ? reinterpret_cast<Bytef*>(out) : &no_output;
    stream.avail_out = static_cast<uInt>(out_size);
    return ::inflate(&stream, Z_FINISH) == Z_STREAM_END && stream.avail_out == 0;
}

const char* const deflate_library = "zlib";

std::uint32_t crc32_of(std::uint32_t crc, const void* data, std::size_t size) {
    uLong value = crc;
    const auto* bytes = static_cast<const Bytef*>(data);
    while (size > 0) {
        const std::size_t take = std::min(size, largest_call);
        value = crc32(value, bytes, static_cast<uInt>(take));
        bytes += take;
        size -= take;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace callfold

#endif  // !CALLFOLD_HAVE_LIBDEFLATE
