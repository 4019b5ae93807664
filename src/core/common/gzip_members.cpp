#include "common/gzip_members.hpp"

#include <cstring>
#include <new>

#include "common/errors.hpp"

namespace callfold {
namespace {

constexpr std::size_t raw_chunk = std::size_t{1} << 20;
constexpr std::size_t stream_chunk = std::size_t{1} << 18;
// Members that announce more than this are streamed rather than inflated whole.
constexpr std::uint32_t largest_whole_block = std::uint32_t{1} << 20;

constexpr unsigned char flag_hcrc = 0x02, flag_extra = 0x04, flag_name = 0x08, flag_comment = 0x10;

std::uint32_t le16(const unsigned char* bytes) { return bytes[0] | (std::uint32_t{bytes[1]} << 8); }
std::uint32_t le32(const unsigned char* bytes) {
    return le16(bytes) | (le16(bytes + 2) << 16);
}

[[noreturn]] void truncated() { throw DamagedGzip(DamagedGzip::Kind::truncated); }

[[noreturn]] void corrupt(const char* detail) {
    DamagedGzip error(DamagedGzip::Kind::corrupt);
    error.detail = detail;
    throw error;
}

}  // namespace

GzipMembers::GzipMembers(ByteSource& source) : source_(source) {
    raw_.resize(raw_chunk);
    if (inflateInit2(&stream_, -15) != Z_OK) throw std::bad_alloc();
    stream_ready_ = true;
}

GzipMembers::~GzipMembers() {
    if (stream_ready_) inflateEnd(&stream_);
}

bool GzipMembers::ensure_raw(std::size_t count) {
    if (raw_available() >= count) return true;
    if (raw_pos_ > 0) {
        std::memmove(raw_.data(), raw_.data() + raw_pos_, raw_available());
        raw_end_ -= raw_pos_;
        raw_pos_ = 0;
    }
    if (raw_.size() < count) raw_.resize(count);
    while (raw_end_ < count && !file_ended_) {
        const std::size_t got = source_.read(reinterpret_cast<char*>(raw_.data()) + raw_end_, raw_.size() - raw_end_);
        if (got == 0) file_ended_ = true;
        raw_end_ += got;
    }
    return raw_end_ >= count;
}

// Length of the member header that starts the unread bytes; `block_size` is
// the whole member's size when the header carries the BGZF "BC" field, else 0.
std::size_t GzipMembers::header_length(std::size_t& block_size) {
    block_size = 0;
    // Stray bytes after the last member (a newline appended by a tool) are no
    // member at all rather than a cut one: the magic number is judged on what
    // there is before a whole header is asked for.
    const bool magic_complete = ensure_raw(2);
    const std::size_t magic_bytes = magic_complete ? 2 : raw_available();
    if (!magic_complete || raw()[0] != 0x1f || raw()[1] != 0x8b)
        throw DamagedGzip(DamagedGzip::Kind::not_gzip, std::string(reinterpret_cast<const char*>(raw()), magic_bytes));
    if (!ensure_raw(10)) truncated();
    const unsigned char* header = raw();
    if (header[2] != 8) throw DamagedGzip(DamagedGzip::Kind::unknown_method);
    const unsigned char flags = header[3];
    std::size_t length = 10;
    if (flags & flag_extra) {
        if (!ensure_raw(length + 2)) truncated();
        const std::size_t extra_length = le16(raw() + length);
        length += 2;
        if (!ensure_raw(length + extra_length)) truncated();
        const unsigned char* field = raw() + length;
        const unsigned char* extra_end = field + extra_length;
        while (extra_end - field >= 4) {
            const std::size_t field_length = le16(field + 2);
            if (field[0] == 'B' && field[1] == 'C' && field_length == 2 && extra_end - field >= 6)
                block_size = le16(field + 4) + 1;
            field += 4 + field_length;
        }
        length += extra_length;
    }
    for (const unsigned char flag : {flag_name, flag_comment}) {
        if (!(flags & flag)) continue;
        // A zero-terminated text of any length.
        for (;;) {
            if (!ensure_raw(length + 1)) truncated();
            const void* zero = std::memchr(raw() + length, 0, raw_available() - length);
            if (zero != nullptr) {
                length = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - raw()) + 1;
                break;
            }
            length = raw_available();
        }
    }
    if (flags & flag_hcrc) length += 2;
    if (!ensure_raw(length)) truncated();
    return length;
}

void GzipMembers::check_trailer(std::uint32_t crc, std::uint32_t length) {
    const std::uint32_t stored_crc = le32(raw());
    const std::uint32_t stored_length = le32(raw() + 4);
    if (stored_crc != crc) {
        DamagedGzip error(DamagedGzip::Kind::crc_mismatch);
        error.stored_crc = stored_crc;
        error.computed_crc = crc;
        throw error;
    }
    if (stored_length != length) throw DamagedGzip(DamagedGzip::Kind::length_mismatch);
}

bool GzipMembers::inflate_step(ByteBuffer& out) {
    for (;;) {
        if (raw_available() == 0 && !ensure_raw(1)) truncated();
        char* target = out.reserve_tail(stream_chunk);
        stream_.next_in = raw_.data() + raw_pos_;
        stream_.avail_in = static_cast<uInt>(raw_available());
        stream_.next_out = reinterpret_cast<Bytef*>(target);
        stream_.avail_out = static_cast<uInt>(stream_chunk);
        const int status = inflate(&stream_, Z_NO_FLUSH);
        raw_pos_ = static_cast<std::size_t>(stream_.next_in - raw_.data());
        const std::size_t produced = stream_chunk - stream_.avail_out;
        member_crc_ = crc32_of(member_crc_, target, produced);
        member_length_ += static_cast<std::uint32_t>(produced);
        out.commit(produced);
        if (status == Z_STREAM_END) {
            in_stream_member_ = false;
            if (!ensure_raw(8)) truncated();
            check_trailer(member_crc_, member_length_);
            raw_pos_ += 8;
            return produced > 0;
        }
        if (status == Z_DATA_ERROR || status == Z_NEED_DICT)
            corrupt(stream_.msg ? stream_.msg : "invalid compressed data");
        if (status == Z_MEM_ERROR) throw std::bad_alloc();
        if (status != Z_OK && status != Z_BUF_ERROR)
            corrupt(stream_.msg ? stream_.msg : "inflate failed");
        if (produced > 0) return true;
    }
}

bool GzipMembers::decode_into(ByteBuffer& out) {
    for (;;) {
        if (in_stream_member_) {
            if (inflate_step(out)) return true;
            continue;
        }
        // Between members: skip zero padding; the end of the file here is a clean end.
        while (member_seen_) {
            if (!ensure_raw(1)) return false;
            const unsigned char* start = raw();
            const unsigned char* stop = start + raw_available();
            const unsigned char* p = start;
            while (p < stop && *p == 0) ++p;
            raw_pos_ += static_cast<std::size_t>(p - start);
            if (p < stop) break;
        }

        if (!member_seen_ && !ensure_raw(1)) return false;  // an empty file
        member_seen_ = true;
        std::size_t block_size = 0;
        const std::size_t header = header_length(block_size);
        if (block_size >= header + 8 && ensure_raw(block_size)) {
            const std::uint32_t expected = le32(raw() + block_size - 4);
            if (expected <= largest_whole_block) {
                char* target = out.reserve_tail(expected);
                if (whole_block_.inflate(raw() + header, block_size - header - 8, target, expected) &&
                    le32(raw() + block_size - 8) == crc32_of(0, target, expected)) {
                    raw_pos_ += block_size;
                    out.commit(expected);
                    if (expected > 0) return true;
                    continue;  // an empty block, such as the BGZF end-of-file marker
                }
                // A block that does not hold what its header announces: the
                // streaming path below reads it as any gzip reader would, and
                // reports the damage if there is any.
            }
        }
        // Any other member: streamed from just after its header.
        raw_pos_ += header;
        if (inflateReset(&stream_) != Z_OK) corrupt("inflateReset failed");
        in_stream_member_ = true;
        member_crc_ = 0;
        member_length_ = 0;
    }
}

}  // namespace callfold
