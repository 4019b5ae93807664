// The header of the unified file: the donor's own lines and, before its column
// header line, the INFO, FORMAT, FILTER, ALT and contig declarations of the
// appended inputs that the header does not yet hold, so that their records keep
// their meaning. The first declaration of an ID wins. A FORMAT GT declaration
// other than Number=1,Type=String is corrected, since every genotype the unifier
// writes or copies is text such as "1/1".
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/host_context.hpp"
#include "common/string_map.hpp"
#include "unifier/input_reading.hpp"
#include "unifier/sections.hpp"
#include "unifier/unified_writer.hpp"

namespace callfold::unifier {

inline constexpr std::size_t declaration_kind_count = 5;

class UnifiedHeader {
public:
    // `layout.donor` is set.
    UnifiedHeader(const LinesByType& lines, const Layout& layout);

    // Writes the next line of the donor's header as it stands (a wrong GT
    // declaration corrected); before the line that ends it, the appended inputs'
    // declarations. Lines after that one go out unchanged.
    void write_donor_line(std::string_view line, const LineOut& out);

private:
    // The first declaration of an ID: its input and the shape the header holds.
    struct Declared {
        FileType input;
        std::string shape;  // "Number=...,Type=..." as far as stated
    };

    void write_appended_declarations(const LineOut& out);

    const LinesByType& lines_;
    const Layout& layout_;
    const FileType donor_;
    bool done_ = false;
    std::array<StringMap<Declared>, declaration_kind_count> declared_;
};

}  // namespace callfold::unifier
