#include "unifier/unified_writer.hpp"

#include "common/input_location.hpp"
#include "common/output_file.hpp"
#include "common/output_guard.hpp"
#include "common/vcf_text.hpp"
#include "unifier/sections.hpp"
#include "unifier/record_rules.hpp"
#include "unifier/roh_input.hpp"
#include "unifier/unified_header.hpp"

namespace callfold::unifier {
namespace {

void write_terminated(const LineOut& out, std::string_view line) {
    if (line.empty() || line.back() == '\n') {
        out(line);
        return;
    }
    std::string terminated;
    terminated.reserve(line.size() + 1);
    terminated.append(line);
    terminated.push_back('\n');
    out(terminated);
}

// Applies a record rule to line `index` (0-based) of an input; its errors are
// located at that line.
template <class Rule>
auto apply_rule(std::string_view file_type, std::size_t index, std::string_view line, const Rule& rule) {
    try {
        return rule(line);
    } catch (...) {
        InputLocation where;
        where.input = input_name(file_type);
        where.line = index + 1;
        where.line_start = line_start_of(line);
        rethrow_located(std::move(where));
    }
}

// An ROH input whose `bcftools roh` regions hold several samples is refused
// before the output is opened.
void refuse_unusable_roh_input(const LinesByType& lines, const Layout& layout) {
    if (!lines[FileType::roh] || !layout.donor) return;
    if (layout.roh_shape == RohShape::bcftools_roh) refuse_several_roh_samples(*lines[FileType::roh]);
}

// The content of one input, as write_vcf_content says; ROH lines read as `roh_shape`.
void write_content(std::string_view file_type, const std::vector<std::string_view>& lines, RohShape roh_shape,
                   const LineOut& out, const RecordOptions& options) {
    const bool is_repeats = file_type == file_type_keys[FileType::repeats];
    const bool converting = roh_shape != RohShape::vcf;
    bool reading_content = converting;

    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::string_view line = lines[index];
        std::string rewritten;
        std::string_view written = line;
        if (reading_content) {
            if (is_repeats) {
                std::optional<std::string> marked = apply_rule(file_type, index, line, [&](std::string_view text) {
                    return marked_repeat_line(text, options.repeat_marking);
                });
                if (marked) {
                    rewritten = std::move(*marked);
                    written = rewritten;
                }
            } else if (converting) {
                if (roh_line_is_skipped(line, roh_shape)) continue;
                rewritten = apply_rule(file_type, index, line,
                                       [roh_shape](std::string_view text) { return roh_line_to_vcf(text, roh_shape); });
                written = rewritten;
            }
            write_terminated(out, written);
        }
        if (!reading_content && holds_sample_column_header(written)) reading_content = true;
    }
    if (!reading_content)
        log_event(LogLevel::warning, "No vcf header for given %s file", {std::string(file_type)});
}

}  // namespace

std::size_t vcf_header_line_count(const std::vector<std::string_view>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (mentions_column_header(lines[i])) return i + 1;
    return lines.size();
}

void write_vcf_content(std::string_view file_type, const std::vector<std::string_view>& lines, const LineOut& out,
                       const RecordOptions& options) {
    const bool is_roh = file_type == file_type_keys[FileType::roh];
    write_content(file_type, lines, is_roh ? roh_input_shape(lines, options) : RohShape::vcf, out, options);
}

bool unify_lines(const LinesByType& lines, const std::string& output_path, const RecordOptions& options) {
    // The sections are found once; the checks, the header and the writer share them.
    const Layout layout = unified_layout(lines, options);
    refuse_mismatched_sample_columns(lines, layout);
    refuse_unusable_roh_input(lines, layout);
    check_build_agreement(lines, layout, options);
    OutputFile output(output_path);
    const LineOut out = [&output](std::string_view text) { output.write(text); };

    const std::optional<FileType> donor = layout.donor;
    if (!donor) {
        log_event(LogLevel::warning, "Empty/no vcf files to concatenate", {});
        output.close();
        return false;
    }

    // The donor's header lines pass through `header`, which adds the appended
    // inputs' declarations before the column header line; its records go straight out.
    const std::vector<std::string_view>& donor_lines = *lines[*donor];
    const std::size_t header_lines = layout.donor_header_lines;
    UnifiedHeader header(lines, layout);
    const LineOut header_out = [&header, &out](std::string_view text) { header.write_donor_line(text, out); };
    const auto donor_out = [&](std::size_t index) -> const LineOut& { return index < header_lines ? header_out : out; };

    if (*donor == FileType::sv) {
        for (std::size_t index = 0; index < donor_lines.size(); ++index)
            write_terminated(donor_out(index), donor_lines[index]);
    } else if (*donor == FileType::cnv) {
        for (std::size_t index = 0; index < donor_lines.size(); ++index) {
            const std::string_view line = donor_lines[index];
            if (apply_rule(file_type_keys[FileType::cnv], index, line, is_valid_cnv_line))
                write_terminated(donor_out(index), line);
        }
    } else {
        for (std::size_t i = 0; i < header_lines; ++i) write_terminated(header_out, donor_lines[i]);
        write_content(file_type_keys[FileType::repeats], donor_lines, RohShape::vcf, out, options);
    }

    for (const FileType type : appended_order)
        if (lines[type] && type != *donor)
            write_content(file_type_keys[type], *lines[type], type == FileType::roh ? layout.roh_shape : RohShape::vcf,
                          out, options);

    output.close();
    log_event(LogLevel::info, "Created unified vcf file at %s", {PathArg{output_path}});
    return true;
}

bool unify_files(const InputPaths& paths, const std::string& output_path,
                 const std::vector<std::string>& drop_sv_filters, const RecordOptions& options) {
    const InputLines inputs = read_struct_lines(paths, drop_sv_filters);
    // Read errors come first; the output is checked before it is opened.
    std::vector<KeyedInput> present;
    for (std::size_t type = 0; type < file_type_count; ++type)
        if (paths[type]) present.push_back({file_type_keys[type], *paths[type]});
    refuse_unified_output_over_inputs(output_path, present);
    LinesByType lines{};
    for (std::size_t type = 0; type < file_type_count; ++type)
        if (inputs[type]) lines[type] = &inputs[type]->lines;
    try {
        return unify_lines(lines, output_path, options);
    } catch (InputLocation& located) {
        // The writer knows the input's type; the path is known here.
        for (std::size_t type = 0; type < file_type_count; ++type)
            if (paths[type] && located.path.empty() && located.input == input_name(file_type_keys[type]))
                located.path = *paths[type];
        throw;
    }
}

}  // namespace callfold::unifier
