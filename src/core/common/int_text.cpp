#include "common/int_text.hpp"

#include <limits>

#include "common/whitespace.hpp"

namespace callfold {

IntText parse_int_text(std::string_view text) {
    // Plain runs of ASCII digits, by far the most common form, are read without
    // the whitespace, sign and underscore handling; 18 digits cannot overflow.
    if (!text.empty() && text.size() <= 18) {
        std::int64_t value = 0;
        bool digits = true;
        for (const char c : text) {
            if (c < '0' || c > '9') {
                digits = false;
                break;
            }
            value = value * 10 + (c - '0');
        }
        if (digits) return {IntText::Status::ok, value};
    }
    const std::string_view body = strip_whitespace(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        negative = body[i] == '-';
        ++i;
    }
    if (i == body.size()) return {IntText::Status::invalid, 0};

    // Accumulate the magnitude as unsigned so that INT64_MIN is representable.
    constexpr std::uint64_t limit_positive = std::numeric_limits<std::int64_t>::max();
    const std::uint64_t limit = negative ? limit_positive + 1 : limit_positive;
    std::uint64_t magnitude = 0;
    bool overflow = false;
    bool previous_was_digit = false;
    for (; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '_') {
            // A single underscore, only between two digits.
            if (!previous_was_digit || i + 1 == body.size() || body[i + 1] < '0' || body[i + 1] > '9')
                return {IntText::Status::invalid, 0};
            previous_was_digit = false;
            continue;
        }
        if (c < '0' || c > '9') return {IntText::Status::invalid, 0};
        previous_was_digit = true;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (!overflow && (magnitude > (limit - digit) / 10)) overflow = true;
        if (!overflow) magnitude = magnitude * 10 + digit;
    }
    if (overflow) return {IntText::Status::overflow, 0};
    if (negative) {
        const std::int64_t value = magnitude == limit_positive + 1
                                       ? std::numeric_limits<std::int64_t>::min()
                                       : -static_cast<std::int64_t>(magnitude);
        return {IntText::Status::ok, value};
    }
    return {IntText::Status::ok, static_cast<std::int64_t>(magnitude)};
}

}  // namespace callfold
