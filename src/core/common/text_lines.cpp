#include "common/text_lines.hpp"

#include <cstring>

namespace callfold {

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
