// Field access on TAB-separated lines without copying: every single TAB splits,
// empty fields are kept.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/byte_scan.hpp"

namespace callfold {

// The first columns of a line, found in one scan that ends as soon as they are
// known: columns 0 to count() - 1, count() being at most Wanted, and whether
// the line goes on past them. A line holds one column more than it has TABs.
template <std::size_t Wanted>
class LineColumns {
    static_assert(Wanted > 0);

public:
    // The columns of `line`, all of it (a "\n" in it is an ordinary byte).
    explicit LineColumns(std::string_view line) : line_(line) {
        for_each_byte(line, '\t', [this](std::size_t at) { return note_tab(at); });
        finish();
    }

    // The columns of the first line of `text`, the part before its first "\n";
    // `length` is set to that line's length with its "\n" (all of `text` when
    // there is none).
    static LineColumns first_line(std::string_view text, std::size_t& length) {
        LineColumns columns;
        std::size_t stop = for_each_byte_until(text, '\t', '\n', [&columns](std::size_t at) { return columns.note_tab(at); });
        if (stop < text.size() && text[stop] == '\t') {
            // The last column wanted is known: the rest of the line is of no interest.
            const void* newline = std::memchr(text.data() + stop, '\n', text.size() - stop);
            stop = newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - text.data()) : text.size();
        }
        length = stop < text.size() ? stop + 1 : text.size();
        columns.line_ = text.substr(0, stop);
        columns.finish();
        return columns;
    }

    std::size_t count() const { return tabs_ < Wanted ? tabs_ + 1 : Wanted; }
    // True when the line has more than Wanted columns.
    bool more() const { return tabs_ == Wanted; }
    // Column `index`, below count().
    std::string_view operator[](std::size_t index) const {
        const std::size_t begin = index == 0 ? 0 : end_[index - 1] + 1;
        return line_.substr(begin, end_[index] - begin);
    }
    // Where column `index` ends in the line: at its TAB, or at the line's end.
    std::size_t end(std::size_t index) const { return end_[index]; }
    // The columns after the first Wanted, empty unless more().
    std::string_view rest() const { return more() ? line_.substr(end_[Wanted - 1] + 1) : std::string_view{}; }
    std::string_view line() const { return line_; }

private:
    LineColumns() = default;

    bool note_tab(std::size_t at) {
        end_[tabs_++] = at;
        return tabs_ < Wanted;
    }

    // Without a TAB after it, the last column runs to the line's end.
    void finish() {
        if (tabs_ < Wanted) end_[tabs_] = line_.size();
    }

    std::string_view line_;
    std::size_t end_[Wanted];
    std::size_t tabs_ = 0;
};

// Calls each(field) for every field of `text` between `separator` bytes, in order.
template <class Each>
void for_each_field(std::string_view text, char separator, Each&& each) {
    std::size_t start = 0;
    for_each_byte(text, separator, [&](std::size_t at) {
        each(text.substr(start, at - start));
        start = at + 1;
        return true;
    });
    each(text.substr(start));
}

// All fields of `line`.
std::vector<std::string_view> split_fields(std::string_view line, char separator = '\t');

// Number of fields of `line` (one more than its separators).
std::size_t count_fields(std::string_view line, char separator = '\t');

}  // namespace callfold
