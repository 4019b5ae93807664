// Raw DEFLATE of whole blocks and CRC-32, the compression work of BGZF.
// libdeflate does it when the build has it (CALLFOLD_HAVE_LIBDEFLATE); zlib
// otherwise. Both write valid DEFLATE (the bytes may differ between them) and
// decode any valid stream to the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace callfold {

// Compresses one block at a time at a fixed level; one per thread.
class BlockDeflater {
public:
    // `level` 0 (stored) to 12; zlib stops at 9. Throws std::bad_alloc.
    explicit BlockDeflater(int level);
    ~BlockDeflater();
    BlockDeflater(const BlockDeflater&) = delete;
    BlockDeflater& operator=(const BlockDeflater&) = delete;

    // Raw DEFLATE of `data` (a final block included) into `out`: its size, or 0
    // when it needs more than `room` bytes.
    std::size_t compress(std::string_view data, unsigned char* out, std::size_t room);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Inflates whole raw DEFLATE streams whose decoded size is known.
class BlockInflater {
public:
    BlockInflater();  // throws std::bad_alloc
    ~BlockInflater();
    BlockInflater(const BlockInflater&) = delete;
    BlockInflater& operator=(const BlockInflater&) = delete;

    // Decodes the stream at the start of `in` into exactly `out_size` bytes at
    // `out`. False when the data is invalid, ends early or decodes to another
    // size (`out` then holds anything). Bytes after the stream's final block
    // are not looked at.
    bool inflate(const unsigned char* in, std::size_t in_size, char* out, std::size_t out_size);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// "libdeflate" or "zlib": what this build compresses and inflates blocks with.
extern const char* const deflate_library;

// CRC-32 (gzip's) of `size` bytes, continuing from `crc` (0 to start).
std::uint32_t crc32_of(std::uint32_t crc, const void* data, std::size_t size);

}  // namespace callfold
