// Decompression of a gzip file member after member as one byte stream. BGZF
// blocks (members whose header gives their compressed size) are inflated whole
// in one call; any other member is streamed through zlib. Zero bytes
// after a member are padding and are skipped; before the first member they
// are not (such a file is not gzip-compressed).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_source.hpp"
#include "common/deflate.hpp"

namespace callfold {

class GzipMembers {
public:
    // Reads from `source`, which stays owned by the caller.
    explicit GzipMembers(ByteSource& source);
    ~GzipMembers();
    GzipMembers(const GzipMembers&) = delete;
    GzipMembers& operator=(const GzipMembers&) = delete;

    // Appends the next decompressed bytes to `out`; false at the end of the
    // file. Throws DamagedGzip for a damaged or truncated stream, SystemCallFailed.
    bool decode_into(ByteBuffer& out);

private:
    bool ensure_raw(std::size_t count);  // false when the file ends first
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
};

}  // namespace callfold
