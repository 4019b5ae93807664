// The DEFLATE interface over libdeflate, which works on whole buffers in one call.
#ifdef CALLFOLD_HAVE_LIBDEFLATE

#include <libdeflate.h>

#include <new>

#include "common/deflate.hpp"

namespace callfold {

struct BlockDeflater::State {
    libdeflate_compressor* compressor = nullptr;
};

BlockDeflater::BlockDeflater(int level) : state_(std::make_unique<State>()) {
    state_->compressor = libdeflate_alloc_compressor(level);
    if (state_->compressor == nullptr) throw std::bad_alloc();
}

BlockDeflater::~BlockDeflater() { libdeflate_free_compressor(state_->compressor); }

std::size_t BlockDeflater::compress(std::string_view data, unsigned char* out, std::size_t room) {
    return libdeflate_deflate_compress(state_->compressor, data.data(), data.size(), out, room);
}

struct BlockInflater::State {
    libdeflate_decompressor* decompressor = nullptr;
};

BlockInflater::BlockInflater() : state_(std::make_unique<State>()) {
    state_->decompressor = libdeflate_alloc_decompressor();
    if (state_->decompressor == nullptr) throw std::bad_alloc();
}

BlockInflater::~BlockInflater() { libdeflate_free_decompressor(state_->decompressor); }

bool BlockInflater::inflate(const unsigned char* in, std::size_t in_size, char* out, std::size_t out_size) {
    std::size_t produced = 0;
    const libdeflate_result result =
        libdeflate_deflate_decompress(state_->decompressor, in, in_size, out, out_size, &produced);
    return result == LIBDEFLATE_SUCCESS && produced == out_size;
}

const char* const deflate_library = "libdeflate";

std::uint32_t crc32_of(std::uint32_t crc, const void* data, std::size_t size) {
    return static_cast<std::uint32_t>(libdeflate_crc32(crc, data, size));
}

}  // namespace callfold

#endif  // CALLFOLD_HAVE_LIBDEFLATE
