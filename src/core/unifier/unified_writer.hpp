// Writing the one unsorted unified VCF: the header donor's content (the first
// present of SV, CNV, repeats), then the records of every other present input
// in the order CNV, repeats, ROH, each through its record rule.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/host_context.hpp"
#include "unifier/input_reading.hpp"
#include "unifier/record_rules.hpp"

namespace callfold::unifier {

struct RecordOptions {
    RepeatMarking repeat_marking = RepeatMarking::detect;
    std::optional<std::string> roh_format;  // nothing when the caller's value is not a text
    bool allow_build_mismatch = true;       // false: inputs of different builds are refused
};

// One input's lines, or nullptr when the input is absent.
using LinesByType = std::array<const std::vector<std::string_view>*, file_type_count>;

// Receives the output one line at a time.
using LineOut = std::function<void(std::string_view)>;

// How many leading lines make the header: up to and including the first line
// that mentions the column header (common/vcf_text.hpp); all of them when none does.
std::size_t vcf_header_line_count(const std::vector<std::string_view>& lines);

// Appends one input's records (never its header) to `out`. Every line written
// ends in "\n": one is added to a last line that lacks it, so that the next
// section never runs into it.
// `file_type` is a file-type key; keys other than "repeats" and "roh" copy records unchanged.
void write_vcf_content(std::string_view file_type, const std::vector<std::string_view>& lines, const LineOut& out,
                       const RecordOptions& options);

// Writes the unified file at `output_path` (created or truncated): the donor's
// content, its header completed by the appended inputs' declarations, then their
// records. False when no input could donate a header; the file is then left empty. Throws InvalidValue,
// before the file is opened, when an appended input's sample columns disagree
// with the donor's header, when an ROH input cannot be placed or holds several
// samples, and (unless allowed) when an appended input comes from another
// reference build than the donor, which is otherwise warned of.
bool unify_lines(const LinesByType& lines, const std::string& output_path, const RecordOptions& options);

// The unification job from paths to the written unified file, without the
// host: read every present input, check the output name, write the file.

// True when the unified file was written at `output_path`; false when nothing
// could donate a header (the empty file is left, as unify_lines leaves it).
bool unify_files(const InputPaths& paths, const std::string& output_path,
                 const std::vector<std::string>& drop_sv_filters, const RecordOptions& options);

}  // namespace callfold::unifier
