// What the values a record gives one INFO or FORMAT key have shown about it:
// whether it appears with and without a value, whether every element present
// is an integer or a decimal number, and how many elements the values hold.
#pragma once

#include <optional>
#include <string_view>

namespace callfold::compression {

struct ValueEvidence {
    bool used_without_value = false;
    bool used_with_value = false;
    bool any_present = false;   // some element is not the missing value "."
    bool all_integer = true;    // every present element is an integer a reader stores in 32 bits
    bool all_float = true;      // every present element is a decimal number
    bool all_single = true;     // every value holds exactly one element
    bool all_pairs = true;      // every value holds exactly two elements

    // One use of the key: its comma-separated value, or nothing for a key
    // given without "=".
    void observe(std::optional<std::string_view> value);
    // Adds what `other` saw.
    void combine(const ValueEvidence& other);
};

}  // namespace callfold::compression
