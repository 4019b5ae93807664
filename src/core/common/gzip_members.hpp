// Decompression of a gzip file member after member as one byte stream. BGZF
// blocks (members whose header gives their compressed size) are inflated whole
// in one call; any other member is streamed through zlib. Zero bytes
// after a member are padding and are skipped; before the first member they
// are not (such a file is not gzip-compressed).
//
// With more than one thread, runs of BGZF blocks are inflated on worker
// threads, a bounded window of blocks ahead of the reader, and handed out in
// file order. Everything else (plain gzip members, padding, whatever is not a
// whole well-formed block) goes the sequential way, and so does a block that
// fails on a worker: it is read again from its first byte as the sequential
// reader reads it, so the bytes out and any error are exactly the same.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_source.hpp"
#include "common/deflate.hpp"

namespace callfold {

class GzipMembers {
public:
    // Reads from `source`, which stays owned by the caller; `threads` above 1
    // inflates BGZF blocks on that many worker threads (started when a first
    // block is met).
    explicit GzipMembers(ByteSource& source, unsigned threads = 1);
    ~GzipMembers();
    GzipMembers(const GzipMembers&) = delete;
    GzipMembers& operator=(const GzipMembers&) = delete;

    // Appends the next decompressed bytes to `out`; false at the end of the
    // file. Throws DamagedGzip for a damaged or truncated stream, SystemCallFailed.
    bool decode_into(ByteBuffer& out);

private:
    bool ensure_raw(std::size_t count);  // false when the file ends first
    // Whether a whole BGZF block that inflates whole starts the unread bytes:
    // its header's and the whole block's length and its decoded size. Never
    // throws for what is read: a read error is kept for the next ensure_raw
    // that needs the bytes.
    bool whole_bgzf_block(std::size_t& header, std::size_t& block_size, std::uint32_t& expected);
    std::size_t queue_blocks();  // moves the BGZF blocks in a row that fit the window to the workers
    void replay_queued();        // puts the queued blocks' bytes back before the unread bytes
    const unsigned char* raw() const { return raw_.data() + raw_pos_; }
    std::size_t raw_available() const { return raw_end_ - raw_pos_; }
    std::size_t header_length(std::size_t& block_size);
    bool inflate_step(ByteBuffer& out);
    void check_trailer(std::uint32_t crc, std::uint32_t length);  // the 8 unread bytes

    ByteSource& source_;
    bool member_seen_ = false;
    std::vector<unsigned char> raw_;
    std::size_t raw_pos_ = 0;
    std::size_t raw_end_ = 0;
    bool file_ended_ = false;
    BlockInflater whole_block_;
    z_stream stream_{};
    bool stream_ready_ = false;
    bool in_stream_member_ = false;
    std::uint32_t member_crc_ = 0;
    std::uint32_t member_length_ = 0;

    struct Pipeline;
    unsigned threads_;
    std::unique_ptr<Pipeline> pipeline_;
    bool read_ahead_ = false;       // a read error is kept rather than thrown (see whole_bgzf_block)
    std::exception_ptr read_error_;
    bool sequential_once_ = false;  // the next member was given back by the workers: read it here
};

}  // namespace callfold
