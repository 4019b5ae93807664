// The unifier's record rules on arbitrary lines: each either answers or throws
// one of its documented errors; marking only ever inserts ";SVTYPE=REP"; the
// writer of each input type terminates every line it writes; the checks made
// before writing raise nothing but a sample-column mismatch.
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/line_stream.hpp"
#include "fuzz_input_file.hpp"
#include "unifier/sections.hpp"
#include "unifier/record_rules.hpp"
#include "unifier/roh_input.hpp"
#include "unifier/unified_writer.hpp"

namespace u = callfold::unifier;
using callfold::fuzz::require;

namespace {

void each_rule(std::string_view line) {
    try {
        (void)u::is_valid_cnv_line(line);
    } catch (const callfold::MissingField&) {
    } catch (const callfold::MissingKey&) {
    }
    // Marking never fails: a line of any number of sample columns is marked.
    for (const auto mode : {u::RepeatMarking::detect, u::RepeatMarking::always, u::RepeatMarking::never}) {
        if (const auto marked = u::marked_repeat_line(line, mode)) {
            // Inserted where INFO ends, at the eighth TAB; nothing else changes.
            std::size_t info_end = std::string_view::npos;
            for (int tab = 0; tab < 8; ++tab) info_end = line.find('\t', info_end + 1);
            require(info_end != std::string_view::npos);
            require(*marked == std::string(line.substr(0, info_end)) + ";SVTYPE=REP" +
                                   std::string(line.substr(info_end)));
        }
    }
    for (const auto shape : {u::RohShape::bed, u::RohShape::bcftools_roh}) {
        try {
            const std::string record = u::roh_line_to_vcf(line, shape);
            require(!record.empty() && record.back() == '\n');
        } catch (const callfold::MissingField&) {
        } catch (const callfold::ValueOutOfRange&) {
        } catch (const callfold::InvalidInteger&) {
        } catch (const callfold::InvalidValue&) {
            require(shape == u::RohShape::bcftools_roh);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> lines = callfold::split_lines(text);
    for (const std::string_view line : lines) each_rule(line);

    const std::vector<std::size_t> kept = u::kept_sv_lines(lines, {"InvBreakpoint", "LowQual"});
    require(kept.size() <= lines.size());

    u::RecordOptions options;
    for (const auto type : {u::FileType::cnv, u::FileType::repeats, u::FileType::roh}) {
        std::string written;
        const u::LineOut out = [&written](std::string_view piece) {
            require(!piece.empty() && piece.back() == '\n');
            written.append(piece);
        };
        try {
            u::write_vcf_content(u::file_type_keys[type], lines, out, options);
        } catch (const callfold::InputLocation& where) {
            callfold::fuzz::require_located<callfold::MissingField, callfold::ValueOutOfRange, callfold::InvalidInteger,
                                            callfold::WrongFieldCount, callfold::InvalidValue>(where);
        }
    }

    // The same lines as donor and as every appended input.
    u::LinesByType by_type{};
    by_type[u::FileType::sv] = &lines;
    by_type[u::FileType::cnv] = &lines;
    by_type[u::FileType::roh] = &lines;
    try {
        const u::Layout layout = u::unified_layout(by_type, options);
        u::refuse_mismatched_sample_columns(by_type, layout);
        u::check_build_agreement(by_type, layout, options);
    } catch (const callfold::InvalidValue&) {
    } catch (const callfold::InputLocation& where) {
        callfold::fuzz::require_located<callfold::InvalidValue>(where);
    }
    return 0;
}
