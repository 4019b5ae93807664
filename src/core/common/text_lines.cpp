#include "common/text_lines.hpp"

#include <sys/stat.h>

#include <cstring>

namespace callfold {
namespace {

// About what the file decodes to, so that the text is allocated once rather
// than copied through every doubling (compressed text is taken to be 4x).
std::size_t decoded_size_hint(const std::string& path, Compression compression) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || info.st_size <= 0) return 0;
    const auto size = static_cast<std::size_t>(info.st_size);
    return compression == Compression::gzip ? size * 4 : size + 1;
}

}  // namespace

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
    return read_lines(open_file_source(path), compression, decoded_size_hint(path, compression));
}

TextLines read_lines(std::unique_ptr<ByteSource> source, Compression compression, std::size_t size_hint) {
    TextLines result;
    {
        LineStream stream(std::move(source), compression);
        try {
            result.text = stream.take_rest(size_hint);
        } catch (...) {
            rethrow_read_error(stream, "", 0);
        }
    }
    result.lines = split_lines(std::string_view(result.text.data(), result.text.size()));
    return result;
}

}  // namespace callfold
