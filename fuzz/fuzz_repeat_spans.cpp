// Record spans: the streaming scan agrees with the one-line parser, and END
// taken from INFO is what the span ends at.
#include <optional>
#include <string_view>

#include "fuzz_input_file.hpp"
#include "repeats/record_span.hpp"

namespace r = callfold::repeats;
using callfold::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    while (!text.empty()) {
        std::optional<r::RecordSpan> streamed;
        const std::size_t length = r::scan_record_line(text, streamed);
        require(length > 0 && length <= text.size());
        const std::optional<r::RecordSpan> alone = r::record_span(text.substr(0, length));
        require(streamed.has_value() == alone.has_value());
        if (alone) {
            require(streamed->chromosome == alone->chromosome);
            require(streamed->start == alone->start && streamed->end == alone->end);
        }
        text.remove_prefix(length);
    }
    (void)r::info_end(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
