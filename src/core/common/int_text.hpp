// Integer text as the whole system reads it: surrounding Unicode whitespace
// (common/whitespace.hpp), one optional sign, ASCII decimal digits with single
// underscores between digits. Values beyond 64 bits are reported, never wrapped.
#pragma once

#include <cstdint>
#include <string_view>

namespace callfold {

struct IntText {
    enum class Status { ok, invalid, overflow };
    Status status;
    std::int64_t value;
    bool ok() const { return status == Status::ok; }
};

IntText parse_int_text(std::string_view text);

}  // namespace callfold
