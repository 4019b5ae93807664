// Integer text: a value that parses prints back to digits that parse to the
// same value; overflow is only reported for texts of at least 19 digits.
#include <string>
#include <string_view>

#include "common/text_rules.hpp"
#include "fuzz_input_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const callfold::IntText parsed = callfold::parse_int_text(text);
    if (parsed.ok()) {
        const callfold::IntText again = callfold::parse_int_text(std::to_string(parsed.value));
        callfold::fuzz::require(again.ok() && again.value == parsed.value);
    } else if (parsed.status == callfold::IntText::Status::overflow) {
        std::size_t digits = 0;
        for (const char c : text) digits += c >= '0' && c <= '9';
        callfold::fuzz::require(digits >= 19);
    }
    return 0;
}
