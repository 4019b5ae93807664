// The one scan for separators against byte-by-byte answers: the block masks
// (SSE2 and the portable word-at-a-time form alike), every position found, where
// a scan stops when told to or at a line's end, and the columns of a line.
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/byte_scan.hpp"
#include "common/tab_columns.hpp"
#include "fuzz_input_file.hpp"

namespace d = callfold::byte_scan_detail;
using callfold::fuzz::require;

namespace {

std::vector<std::size_t> positions(std::string_view text, char byte) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == byte) found.push_back(i);
    return found;
}

template <int Lanes>
void check_masks(std::string_view text, char byte) {
    constexpr std::size_t width = 16 * Lanes;
    for (std::size_t at = 0; at + width <= text.size(); at += 7) {
        std::uint64_t expected = 0;
        for (std::size_t i = 0; i < width; ++i)
            if (text[at + i] == byte) expected |= std::uint64_t{1} << i;
        require(d::word_equal_mask<Lanes>(text.data() + at, byte) == expected);
#if defined(__SSE2__)
        require(d::sse2_equal_mask<Lanes>(text.data() + at, byte) == expected);
#endif
    }
}

template <std::size_t Wanted>
void check_columns(const callfold::LineColumns<Wanted>& columns, std::string_view line) {
    require(columns.line() == line);
    const std::vector<std::string_view> all = callfold::split_fields(line);
    require(columns.count() == std::min(all.size(), Wanted));
    require(columns.more() == (all.size() > Wanted));
    for (std::size_t i = 0; i < columns.count(); ++i) {
        require(columns[i] == all[i]);
        require(columns.end(i) == static_cast<std::size_t>(all[i].data() + all[i].size() - line.data()));
    }
    if (columns.more()) require(columns.rest() == line.substr(all[Wanted].data() - line.data()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const char byte = size > 0 ? text[0] : '\t';
    for (const char wanted : {'\t', '\n', byte}) {
        check_masks<1>(text, wanted);
        check_masks<4>(text, wanted);
    }

    // Every TAB, then a scan told to stop at its k-th TAB.
    const std::vector<std::size_t> tabs = positions(text, '\t');
    std::vector<std::size_t> seen;
    require(callfold::for_each_byte(text, '\t', [&](std::size_t at) { seen.push_back(at); return true; }) == size);
    require(seen == tabs);
    const std::size_t k = size > 1 ? static_cast<unsigned char>(text[1]) % 12 : 0;
    std::size_t calls = 0;
    const std::size_t stopped = callfold::for_each_byte(text, '\t', [&](std::size_t) { return ++calls <= k; });
    require(stopped == (k < tabs.size() ? tabs[k] : size));

    // Up to the first line's end only.
    const std::size_t newline = text.find('\n');
    const std::string_view first_line = text.substr(0, newline);
    seen.clear();
    const std::size_t ended = callfold::for_each_byte_until(text, '\t', '\n', [&](std::size_t at) {
        seen.push_back(at);
        return true;
    });
    require(ended == (newline == std::string_view::npos ? size : newline));
    require(seen == positions(first_line, '\t'));

    check_columns(callfold::LineColumns<1>(text), text);
    check_columns(callfold::LineColumns<3>(text), text);
    check_columns(callfold::LineColumns<8>(text), text);
    std::size_t length = 0;
    check_columns(callfold::LineColumns<8>::first_line(text, length), first_line);
    require(length == (newline == std::string_view::npos ? size : newline + 1));
    check_columns(callfold::LineColumns<10>::first_line(text, length), first_line);
    return 0;
}
