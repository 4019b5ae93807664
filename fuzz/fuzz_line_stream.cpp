// Reading arbitrary bytes as plain and as gzip text: either lines come out that
// hold no "\r" and end in "\n" (but the last), or a reader error is thrown;
// streaming line by line and taking the whole text agree.
#include <string>

#include "common/errors.hpp"
#include "common/line_stream.hpp"
#include "fuzz_input_file.hpp"

namespace {

bool stream_lines(const std::string& path, callfold::Compression compression, std::string& text) {
    try {
        callfold::LineStream stream(path, compression);
        std::string_view line;
        bool unterminated_seen = false;
        while (stream.next(line)) {
            callfold::fuzz::require(!unterminated_seen && !line.empty());
            callfold::fuzz::require(line.find('\r') == std::string_view::npos);
            callfold::fuzz::require(line.find('\n') == line.size() - 1 || line.find('\n') == std::string_view::npos);
            unterminated_seen = line.back() != '\n';
            text.append(line);
        }
        return true;
    } catch (const callfold::InvalidUtf8&) {
    } catch (const callfold::DamagedGzip&) {
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const callfold::fuzz::InputFile input(data, size);
    for (const auto compression : {callfold::Compression::plain, callfold::Compression::gzip}) {
        std::string streamed;
        const bool ok = stream_lines(input.path(), compression, streamed);
        try {
            const callfold::TextLines whole = callfold::read_lines(callfold::open_file_source(input.path()), compression, size);
            callfold::fuzz::require(ok);
            callfold::fuzz::require(std::string_view(whole.text.data(), whole.text.size()) == streamed);
        } catch (const callfold::InputLocation& where) {
            callfold::fuzz::require_located<callfold::InvalidUtf8, callfold::DamagedGzip>(where);
            callfold::fuzz::require(!ok);
        }
    }
    return 0;
}
