#include "compression/value_evidence.hpp"

#include <cstddef>
#include <cstdint>

#include "common/tab_columns.hpp"

namespace callfold::compression {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

enum class IntegerText { no, fits, too_large };

IntegerText integer_text(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return IntegerText::no;
    std::int64_t magnitude = 0;
    bool large = false;
    for (; i < text.size(); ++i) {
        if (!is_digit(text[i])) return IntegerText::no;
        if (!large) magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > (std::int64_t{1} << 32)) large = true;
    }
    // Readers keep the lowest eight 32-bit values for missing and end-of-vector markers.
    if (large || magnitude > (negative ? 2147483640 : 2147483647)) return IntegerText::too_large;
    return IntegerText::fits;
}

bool is_float_text(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t exponent_digits = 0;
        while (i < text.size() && is_digit(text[i])) ++i, ++exponent_digits;
        if (exponent_digits == 0) return false;
    }
    return i == text.size();
}

}  // namespace

void ValueEvidence::observe(std::optional<std::string_view> value) {
    if (!value) {
        used_without_value = true;
        return;
    }
    used_with_value = true;
    if (*value == ".") return;  // missing: fits every Number and Type
    std::size_t elements = 0;
    for_each_field(*value, ',', [&](std::string_view element) {
        ++elements;
        if (element == ".") return;
        any_present = true;
        const IntegerText integer = integer_text(element);
        if (integer != IntegerText::fits) all_integer = false;
        // An integer beyond 32 bits would lose digits as a Float: only String keeps it.
        if (integer == IntegerText::too_large || !is_float_text(element)) all_float = false;
    });
    if (elements != 1) all_single = false;
    if (elements != 2) all_pairs = false;
}

void ValueEvidence::combine(const ValueEvidence& other) {
    used_without_value |= other.used_without_value;
    used_with_value |= other.used_with_value;
    any_present |= other.any_present;
    all_integer &= other.all_integer;
    all_float &= other.all_float;
    all_single &= other.all_single;
    all_pairs &= other.all_pairs;
}

}  // namespace callfold::compression
