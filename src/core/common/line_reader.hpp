// Streams a text file line by line, plain or gzip-compressed (every member of a
// multi-member file such as BGZF in turn), decoded as strict UTF-8 with
// universal newlines: "\n", "\r\n" and a lone "\r" each arrive as "\n".
#pragma once

#include <libdeflate.h>
#include <zlib.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace callfold {

enum class Compression { plain, gzip };

class LineReader {
public:
    // Opens the file at once; throws OsError when it cannot be opened or is a directory.
    LineReader(const std::string& path, Compression compression);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line with its "\n" (the last line may lack it); false at the end.
    // The view stays valid until the next call. Throws DecodeError, GzipError, OsError.
    bool next(std::string_view& line);

    // Reads everything that is left as one text.
    std::string read_rest();

    void close();
    bool closed() const { return fd_ < 0; }
    const std::string& path() const { return path_; }

private:
    bool fill();                          // appends decoded text; false at end of input
    std::size_t read_raw(std::size_t offset = 0);  // reads compressed or plain bytes into raw_ at offset
    bool buffer_raw(std::size_t wanted);  // at least `wanted` unread compressed bytes in raw_, or false at the end
    bool inflate_bgzf_block(bool& produced_any);
    void decode_append(const char* bytes, std::size_t size, bool final);
    void inflate_more(bool& produced_any);

    std::string path_;
    Compression compression_;
    int fd_ = -1;
    z_stream zstream_{};
    bool zstream_ready_ = false;
    libdeflate_decompressor* bgzf_decompressor_ = nullptr;  // whole BGZF blocks at once
    bool member_open_ = false;     // inside a gzip member that has not ended yet
    bool input_ended_ = false;     // the file has no more bytes
    bool finished_ = false;        // all text has been decoded into text_
    std::vector<unsigned char> raw_;
    std::vector<char> inflated_;
    std::vector<char> block_text_;
    std::string undecoded_;        // tail of a UTF-8 sequence cut by a chunk boundary
    bool skip_lf_ = false;         // the previous chunk ended in "\r"
    std::string text_;
    std::size_t pos_ = 0;
};

// Reads a whole file into lines (see LineReader) in one pass.
// The text lives on the heap so that the views stay valid when TextLines moves.
struct TextLines {
    std::unique_ptr<std::string> text;
    std::vector<std::string_view> lines;  // views into *text
};
TextLines read_lines(const std::string& path, Compression compression);

// Splits text into lines, each keeping its "\n"; the last may lack it.
std::vector<std::string_view> split_lines(std::string_view text);

}  // namespace callfold
