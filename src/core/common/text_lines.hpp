// A whole text file read into memory at once and cut into lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/byte_buffer.hpp"
#include "common/line_stream.hpp"

namespace callfold {

// The text lives in one heap buffer, so the views stay valid when TextLines moves.
struct TextLines {
    ByteBuffer text;
    std::vector<std::string_view> lines;  // views into text, each with its "\n" (the last may lack it)
};

// Reads all of `source` (see LineStream for decoding and newlines);
// `size_hint` is about how large the text will be. An error while reading
// (DecodeError, GzipError, OsError) comes located at its line.
TextLines read_lines(std::unique_ptr<ByteSource> source, Compression compression, std::size_t size_hint);

// Splits text into lines, each keeping its "\n"; the last may lack it.
std::vector<std::string_view> split_lines(std::string_view text);

}  // namespace callfold
