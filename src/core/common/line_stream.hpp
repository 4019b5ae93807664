// Lines of a text file (a repeat VCF, a catalog BED), plain or gzip-compressed,
// decoded as strict UTF-8 (a leading byte order mark dropped) with universal newlines ("\n", "\r\n" and a lone "\r" each end a line and arrive
// as "\n"). Text is decompressed, checked and split in place in one buffer, so
// a line costs no copy until it is written.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_source.hpp"
#include "common/errors.hpp"
#include "common/gzip_members.hpp"
#include "common/vcf_text.hpp"

namespace callfold {

// How a stream's bytes are read: as plain text, as gzip members, or as gzip
// when they start with its magic number (never judged by a file's name).
enum class Compression { plain, gzip, detect };

class LineStream {
public:
    // Opens the file at once; throws SystemCallFailed when it cannot be opened or is a directory.
    LineStream(const std::string& path, Compression compression);
    // Reads `source` (for bytes already read, see memory_source).
    LineStream(std::unique_ptr<ByteSource> source, Compression compression);
    ~LineStream();
    LineStream(const LineStream&) = delete;
    LineStream& operator=(const LineStream&) = delete;

    // The next line with its "\n" (the last may lack it); false at the end. The
    // view stays valid until the next call. Every complete line before an
    // invalid byte sequence or a damaged stream is delivered first; then
    // InvalidUtf8, DamagedGzip or SystemCallFailed.
    bool next(std::string_view& line);

    // Like next(), but every complete line available at once (the last
    // unterminated line alone at the end of the text). Same errors.
    bool next_lines(std::string_view& lines);

    // Everything not delivered yet, as one text.
    std::string read_rest();

    // Reads to the end and hands over everything not delivered yet, without
    // copying it. `size_hint` is about how large the text will be.
    ByteBuffer take_rest(std::size_t size_hint);

    // After a read error: the lines the stream holds but has not delivered,
    // to say where the error arose. `complete_lines` whole lines come before
    // the line being read when it failed; `line_start` is that line's start,
    // up to the failure (and any undecodable bytes there).
    struct Pending {
        std::uint64_t complete_lines;
        std::string line_start;
    };
    Pending pending() const;

    void close();
    const std::string& path() const { return path_; }
    bool compressed() const { return members_ != nullptr; }

private:
    void fill();
    // The next line, or every complete line available, as next() and next_lines() say.
    bool deliver(std::string_view& text, bool all_complete_lines);

    std::string path_;
    std::unique_ptr<ByteSource> source_;
    std::unique_ptr<GzipMembers> members_;  // null for plain text
    ByteBuffer text_;
    std::size_t pos_ = 0;      // first byte not delivered
    std::size_t checked_ = 0;  // end of the checked, newline-normalised text
    bool skip_lf_ = false;     // the checked text ended in a "\r" whose "\n" may follow
    bool input_ended_ = false;
    bool finished_ = false;    // all input is checked
    bool start_checked_ = false;  // a byte order mark at the start is dropped
    // A failure met while decoding (invalid UTF-8 right at `checked_`, a damaged
    // gzip stream, a failed read), raised once the lines before it are delivered.
    std::exception_ptr error_;
};

// Inside a catch block around a read of `stream`, of which `delivered_lines`
// lines were consumed before: rethrows the error located at the line being read.
[[noreturn]] void rethrow_read_error(const LineStream& stream, std::string input, std::uint64_t delivered_lines);

// (stream.*read)(text), LineStream::next or next_lines, its error located at
// the line being read of the input named `input` (see rethrow_read_error).
inline bool read_located(LineStream& stream, bool (LineStream::*read)(std::string_view&), std::string_view& text,
                         const char* input, std::uint64_t delivered_lines) {
    try {
        return (stream.*read)(text);
    } catch (...) {
        rethrow_read_error(stream, input, delivered_lines);
    }
}

// A whole text file read into memory at once and cut into lines.

// The text lives in one heap buffer, so the views stay valid when TextLines moves.
struct TextLines {
    ByteBuffer text;
    std::vector<std::string_view> lines;  // views into text, each with its "\n" (the last may lack it)
};

// Reads all of `source` (see LineStream for decoding and newlines);
// `size_hint` is about how large the text will be. An error while reading
// (InvalidUtf8, DamagedGzip, SystemCallFailed) comes located at its line.
TextLines read_lines(std::unique_ptr<ByteSource> source, Compression compression, std::size_t size_hint);

// The whole plain text file at `path`, of `size` bytes, read on as many
// threads as thread_cap() allows, when LineStream would deliver it as it
// stands: ASCII with no "\r". Nothing when it holds any other byte (that text
// needs decoding) or is not `size` bytes long when read (it changed). `room`
// more bytes are reserved after the text. SystemCallFailed when it cannot be read.
std::optional<ByteBuffer> read_plain_ascii_file(const std::string& path, std::size_t size, std::size_t room);

}  // namespace callfold
