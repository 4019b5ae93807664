#include "common/line_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "common/errors.hpp"
#include "common/utf8.hpp"

namespace callfold {
namespace {

constexpr std::size_t raw_chunk = 1 << 18;
constexpr std::size_t inflated_chunk = 1 << 20;
constexpr std::size_t bgzf_header_size = 18;
constexpr std::size_t bgzf_trailer_size = 8;
constexpr std::size_t bgzf_max_text = 1 << 16;

std::uint32_t load_le32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// A gzip member header with only FEXTRA set, holding exactly the BGZF "BC" subfield.
bool is_bgzf_header(const unsigned char* h) {
    return h[0] == 0x1f && h[1] == 0x8b && h[2] == 8 && h[3] == 4 && h[10] == 6 && h[11] == 0 && h[12] == 'B' &&
           h[13] == 'C' && h[14] == 2 && h[15] == 0;
}

}  // namespace

LineReader::LineReader(const std::string& path, Compression compression)
    : path_(path), compression_(compression) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw OsError(errno, path);
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw OsError(EISDIR, path);
    }
    raw_.resize(raw_chunk);
    if (compression_ == Compression::gzip) {
        inflated_.resize(inflated_chunk);
        // 15 + 16: gzip wrapper only, with its CRC and length checked.
        if (inflateInit2(&zstream_, 15 + 16) != Z_OK) {
            ::close(fd_);
            fd_ = -1;
            throw std::bad_alloc();
        }
        zstream_ready_ = true;
        bgzf_decompressor_ = libdeflate_alloc_decompressor();
        if (bgzf_decompressor_ == nullptr) {
            close();
            throw std::bad_alloc();
        }
    }
}

LineReader::~LineReader() { close(); }

void LineReader::close() {
    if (bgzf_decompressor_ != nullptr) {
        libdeflate_free_decompressor(bgzf_decompressor_);
        bgzf_decompressor_ = nullptr;
    }
    if (zstream_ready_) {
        inflateEnd(&zstream_);
        zstream_ready_ = false;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::size_t LineReader::read_raw(std::size_t offset) {
    for (;;) {
        const ssize_t got = ::read(fd_, raw_.data() + offset, raw_.size() - offset);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) throw OsError(errno, path_);
    }
}

void LineReader::decode_append(const char* bytes, std::size_t size, bool final) {
    std::string_view chunk(bytes, size);
    std::string joined;
    if (!undecoded_.empty()) {
        joined = undecoded_;
        joined.append(bytes, size);
        chunk = joined;
    }
    const Utf8Check check = check_utf8(chunk, final);
    if (check.reason != nullptr)
        throw DecodeError(std::string(chunk), check.valid, check.error_end, check.reason);

    text_.reserve(text_.size() + check.valid);
    std::size_t i = 0;
    if (skip_lf_ && check.valid > 0) {
        if (chunk[0] == '\n') i = 1;
        skip_lf_ = false;
    }
    while (i < check.valid) {
        const void* found = std::memchr(chunk.data() + i, '\r', check.valid - i);
        const std::size_t cr = found ? static_cast<std::size_t>(static_cast<const char*>(found) - chunk.data())
                                     : check.valid;
        text_.append(chunk.data() + i, cr - i);
        if (cr == check.valid) break;
        text_ += '\n';
        i = cr + 1;
        if (i == check.valid) {
            skip_lf_ = true;  // a "\n" opening the next chunk belongs to this "\r"
        } else if (chunk[i] == '\n') {
            ++i;
        }
    }
    undecoded_.assign(chunk.substr(check.valid));
}

bool LineReader::buffer_raw(std::size_t wanted) {
    while (zstream_.avail_in < wanted) {
        if (input_ended_) return false;
        if (zstream_.avail_in > 0 && zstream_.next_in != raw_.data())
            std::memmove(raw_.data(), zstream_.next_in, zstream_.avail_in);
        zstream_.next_in = raw_.data();
        const std::size_t got = read_raw(zstream_.avail_in);
        if (got == 0) {
            input_ended_ = true;
            return false;
        }
        zstream_.avail_in += static_cast<uInt>(got);
    }
    return true;
}

// BGZF members say their size up front, so a whole block can be inflated in one
// libdeflate call, several times faster than streaming it through zlib. Anything
// unexpected (not BGZF, cut short, damaged) leaves the member to zlib, which
// reads it from its start and reports the fault as a gzip reader does.
bool LineReader::inflate_bgzf_block(bool& produced_any) {
    if (!buffer_raw(bgzf_header_size) || !is_bgzf_header(zstream_.next_in)) return false;
    const std::size_t block_size = (std::size_t{zstream_.next_in[16]} | std::size_t{zstream_.next_in[17]} << 8) + 1;
    if (block_size < bgzf_header_size + bgzf_trailer_size || !buffer_raw(block_size)) return false;
    const unsigned char* block = zstream_.next_in;
    const std::uint32_t crc = load_le32(block + block_size - 8);
    const std::uint32_t text_size = load_le32(block + block_size - 4);
    if (text_size > bgzf_max_text) return false;
    block_text_.resize(bgzf_max_text);
    std::size_t produced = 0;
    const libdeflate_result status = libdeflate_deflate_decompress(
        bgzf_decompressor_, block + bgzf_header_size, block_size - bgzf_header_size - bgzf_trailer_size,
        block_text_.data(), text_size, &produced);
    if (status != LIBDEFLATE_SUCCESS || produced != text_size ||
        libdeflate_crc32(0, block_text_.data(), produced) != crc)
        return false;
    zstream_.next_in += block_size;
    zstream_.avail_in -= static_cast<uInt>(block_size);
    if (produced > 0) {
        decode_append(block_text_.data(), produced, false);
        produced_any = true;
    }
    return true;
}

void LineReader::inflate_more(bool& produced_any) {
    for (;;) {
        if (zstream_.avail_in == 0 && !input_ended_) {
            const std::size_t got = read_raw();
            if (got == 0) {
                input_ended_ = true;
            } else {
                zstream_.next_in = raw_.data();
                zstream_.avail_in = static_cast<uInt>(got);
            }
        }
        if (zstream_.avail_in == 0 && input_ended_) {
            if (member_open_)
                throw GzipError(GzipError::Kind::truncated,
                                "Compressed file ended before the end-of-stream marker was reached");
            finished_ = true;
            return;
        }
        if (!member_open_) {
            if (inflate_bgzf_block(produced_any)) {
                if (produced_any) return;
                continue;
            }
            if (inflateReset(&zstream_) != Z_OK) throw GzipError(GzipError::Kind::corrupt, "inflateReset failed");
            member_open_ = true;
        }
        zstream_.next_out = reinterpret_cast<Bytef*>(inflated_.data());
        zstream_.avail_out = static_cast<uInt>(inflated_.size());
        const int status = inflate(&zstream_, Z_NO_FLUSH);
        const std::size_t produced = inflated_.size() - zstream_.avail_out;
        if (status == Z_STREAM_END) {
            member_open_ = false;
        } else if (status == Z_NEED_DICT || status == Z_DATA_ERROR) {
            const std::string message = zstream_.msg ? zstream_.msg : "invalid compressed data";
            const bool format = message == "incorrect header check" || message == "unknown compression method" ||
                                message == "incorrect data check" || message == "incorrect length check" ||
                                message == "unknown header flags set";
            throw GzipError(format ? GzipError::Kind::bad_format : GzipError::Kind::corrupt, message);
        } else if (status == Z_MEM_ERROR) {
            throw std::bad_alloc();
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            throw GzipError(GzipError::Kind::corrupt, zstream_.msg ? zstream_.msg : "inflate failed");
        }
        if (produced > 0) {
            decode_append(inflated_.data(), produced, false);
            produced_any = true;
            return;
        }
    }
}

bool LineReader::fill() {
    if (finished_ || fd_ < 0) return false;
    if (compression_ == Compression::gzip) {
        bool produced = false;
        while (!produced && !finished_) inflate_more(produced);
    } else {
        const std::size_t got = read_raw();
        if (got == 0) {
            finished_ = true;
        } else {
            decode_append(reinterpret_cast<const char*>(raw_.data()), got, false);
        }
    }
    if (finished_) {
        decode_append("", 0, true);  // an unfinished UTF-8 sequence is an error now
        return false;
    }
    return true;
}

bool LineReader::next(std::string_view& line) {
    for (;;) {
        const std::size_t newline = text_.find('\n', pos_);
        if (newline != std::string::npos) {
            line = std::string_view(text_).substr(pos_, newline + 1 - pos_);
            pos_ = newline + 1;
            return true;
        }
        if (finished_ || fd_ < 0) {
            if (pos_ < text_.size()) {
                line = std::string_view(text_).substr(pos_);
                pos_ = text_.size();
                return true;
            }
            return false;
        }
        // Keep only the unfinished line before decoding more.
        if (pos_ > 0) {
            text_.erase(0, pos_);
            pos_ = 0;
        }
        fill();
    }
}

std::string LineReader::read_rest() {
    // Growing one large text by doubling copies it several times and faults in
    // fresh pages each time; reserve about what the whole file will decode to.
    struct stat info {};
    if (fd_ >= 0 && ::fstat(fd_, &info) == 0 && info.st_size > 0) {
        const auto size = static_cast<std::size_t>(info.st_size);
        text_.reserve(compression_ == Compression::gzip ? size * 4 : size + 1);
    }
    while (fill()) {
    }
    std::string rest = pos_ == 0 ? std::move(text_) : text_.substr(pos_);
    text_.clear();
    pos_ = 0;
    return rest;
}

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const void* found = std::memchr(text.data() + start, '\n', text.size() - start);
        const std::size_t end =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) + 1 : text.size();
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

TextLines read_lines(const std::string& path, Compression compression) {
    TextLines result;
    {
        LineReader reader(path, compression);
        result.text = std::make_unique<std::string>(reader.read_rest());
    }
    result.lines = split_lines(*result.text);
    return result;
}

}  // namespace callfold
