// BGZF output: a gzip file made of independent members ("blocks") of at most
// 64 KiB each, every one carrying the BC extra field with its own size, and
// closed by the standard 28-byte empty block. Blocks are deflated on worker
// threads and written to the file in their order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/deflate.hpp"
#include "common/system_io.hpp"

namespace callfold::compression {

// Uncompressed bytes per block. Even stored (incompressible) data then fits the
// 64 KiB limit of a block with its header, footer and stored-block overhead.
inline constexpr std::size_t bgzf_block_data = 0xff00;
inline constexpr std::size_t bgzf_max_block = 0x10000;
inline constexpr std::size_t bgzf_header_size = 18;
inline constexpr std::size_t bgzf_footer_size = 8;

// The empty block that ends every BGZF file.
extern const unsigned char bgzf_eof_block[28];

// One complete BGZF block for `data` (at most bgzf_block_data bytes) into `out`,
// using `compressor` (null for stored data).
// Returns the block size. `out` must hold bgzf_max_block bytes.
std::size_t make_bgzf_block(BlockDeflater* compressor, std::string_view data, unsigned char* out);

// Worker threads to use for `total_bytes` of input, within thread_cap().
unsigned bgzf_threads_for(std::size_t total_bytes);

// A file to keep is synced once complete, so its blocks are sent to disk as
// they are written; scratch space, read back soon and then dropped, is not.
enum class BgzfOutput { kept, scratch };

class BgzfWriter {
public:
    // Writes to `file`, which must stay open while the writer lives; `path`
    // names it in errors. With `threads` <= 1 every block is compressed on the
    // calling thread.
    BgzfWriter(const FileDescriptor& file, std::string path, unsigned threads, int level = 6,
               BgzfOutput kind = BgzfOutput::kept);
    ~BgzfWriter();
    BgzfWriter(const BgzfWriter&) = delete;
    BgzfWriter& operator=(const BgzfWriter&) = delete;

    void write(std::string_view data);
    // Compresses what is buffered, writes every block in order and the EOF block.
    // Throws SystemCallFailed on a failed write; nothing may be written after it.
    void finish();

    // Uncompressed bytes written so far.
    std::uint64_t uncompressed_size() const { return uncompressed_size_; }
    // The virtual offset (compressed offset of its block << 16 | offset within
    // the block's data) of byte `uncompressed_offset` of what was written, or of
    // the end of it; valid once finish() returned. Every block but the last holds
    // exactly bgzf_block_data bytes, so the block follows from the offset alone.
    // An offset at the end of a block's data is given as the start of the next.
    std::uint64_t virtual_offset(std::uint64_t uncompressed_offset) const;

private:
    struct Slot {
        std::string data;
        std::vector<unsigned char> block;
        std::size_t block_size = 0;
        bool done = false;  // compressed
    };

    void submit_current();
    void write_slot(Slot& slot);
    void drain(std::size_t sequence);
    void flush_output();
    void worker_loop(BlockDeflater& compressor);
    void stop_workers();

    const FileDescriptor& file_;
    std::string path_;
    int level_;
    BgzfOutput kind_;
    std::string current_;              // the block being filled
    std::vector<Slot> slots_;          // ring of blocks in flight
    std::uint64_t next_sequence_ = 0;  // sequence number of the next block submitted
    std::uint64_t next_write_ = 0;     // sequence number of the next block to write
    std::uint64_t next_compress_ = 0;  // sequence number of the next block a worker takes
    std::vector<unsigned char> output_;
    std::uint64_t uncompressed_size_ = 0;
    // Compressed offset of every block written, then of the end of the last one.
    std::vector<std::uint64_t> block_offsets_{0};
    std::uint64_t written_ = 0;          // bytes written to the file
    std::uint64_t writeback_start_ = 0;  // where the bytes not yet sent to disk start
    bool finished_ = false;

    std::unique_ptr<BlockDeflater> inline_compressor_;  // used when there are no workers
    std::vector<std::unique_ptr<BlockDeflater>> worker_compressors_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable work_done_;
    bool stopping_ = false;
    std::exception_ptr worker_error_;
};

}  // namespace callfold::compression
