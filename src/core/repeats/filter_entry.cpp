#include "repeats/filter_entry.hpp"

#include <string_view>

#include "common/errors.hpp"
#include "common/file_status.hpp"
#include "common/input_location.hpp"
#include "common/output_guard.hpp"
#include "common/output_file.hpp"
#include "repeats/engines.hpp"
#include "repeats/catalog.hpp"
#include "repeats/chromosome_naming.hpp"

namespace callfold::repeats {
namespace {

// After a bedtools run that kept nothing: reads the VCF's chromosomes once to
// tell a naming mismatch from a sample with nothing at the catalog's loci.
// Only regular files are read again (a pipe is consumed, a FIFO would block),
// and a file that bedtools read but this reader rejects (bytes that are not
// UTF-8) leaves the question open rather than failing a finished run.
// Text that this reader cannot decode (read errors come located at their line).
bool wraps_undecodable_text(const InputLocation& where) {
    try {
        std::rethrow_if_nested(where);
    } catch (const InvalidUtf8&) {
        return true;
    } catch (const DamagedGzip&) {
        return true;
    } catch (...) {
    }
    return false;
}

void report_naming_after_bedtools(const std::string& repeat_path, const std::string& bed_path,
                                  const std::string& output_path, bool allow_mismatch) {
    if (!is_regular_file(repeat_path) || !is_regular_file(bed_path)) return;
    ChromosomeNaming naming;
    try {
        if (is_regular_file(output_path) && holds_records(output_path)) return;
        naming = survey_chromosome_naming(repeat_path, read_bed_intervals(bed_path));
    } catch (const InputLocation& where) {
        if (!wraps_undecodable_text(where)) throw;
        return;
    }
    naming.report(repeat_path, bed_path, allow_mismatch);
}

// One engine run into `output_path`, then the naming report.
void run_engine(bool use_bedtools, const std::string& repeat_path, const std::string& bed_path,
                const std::string& output_path, bool allow_mismatch) {
    if (use_bedtools) {
        intersect_with_bedtools(repeat_path, bed_path, output_path);
        report_naming_after_bedtools(repeat_path, bed_path, output_path, allow_mismatch);
    } else {
        intersect_builtin(repeat_path, bed_path, output_path).naming.report(repeat_path, bed_path, allow_mismatch);
    }
}

}  // namespace

bool bedtools_available() { return find_executable(bedtools_program).has_value(); }

std::optional<std::string> filter_repeats_vcf(const std::optional<std::string>& full_repeat_path,
                                              const std::optional<std::string>& repeat_bed_file_path,
                                              std::optional<std::string> engine,
                                              const std::optional<std::string>& output_path,
                                              bool allow_build_mismatch) {
    if (!full_repeat_path) {
        log_event(LogLevel::warning, "Can't filter repeats file \"%s\". The file does not exist", {Absent{}});
        return std::nullopt;
    }
    if (!repeat_bed_file_path) {
        log_event(LogLevel::warning, "Can't filter repeats file with \"%s\". The bed file does not exist", {Absent{}});
        return std::nullopt;
    }
    if (!path_exists(*full_repeat_path)) {
        log_event(LogLevel::warning, "%s file doesn't exist", {PathArg{*full_repeat_path}});
        return std::nullopt;
    }
    if (!path_exists(*repeat_bed_file_path)) {
        log_event(LogLevel::warning, "%s doesn't exist", {PathArg{*repeat_bed_file_path}});
        return std::nullopt;
    }

    // The built-in engine unless bedtools is named: the result must not depend
    // on what the machine has installed, and bedtools sizes some records differently.
    if (!engine) engine = builtin_engine_name;
    const bool use_bedtools = *engine == bedtools_engine_name;
    if (use_bedtools && !bedtools_available())
        throw Unavailable("bedtools was requested to filter the repeats VCF but is not on PATH");

    const std::string filtered_path =
        output_path && !output_path->empty() ? *output_path : filtered_repeat_path(*full_repeat_path);
    require_path_text(filtered_path);
    refuse_filtered_output_over_inputs(*full_repeat_path, *repeat_bed_file_path, filtered_path);

    log_event(LogLevel::info, "Filtering %s against %s with the %s engine",
        {PathArg{*full_repeat_path}, PathArg{*repeat_bed_file_path}, *engine});
    // A refused result must leave nothing behind, so it is written under a
    // temporary name and put in place once it is kept. A pipe or device at the
    // output path cannot be replaced: it is written as it is.
    if (allow_build_mismatch || (path_exists(filtered_path) && !is_regular_file(filtered_path))) {
        run_engine(use_bedtools, *full_repeat_path, *repeat_bed_file_path, filtered_path, allow_build_mismatch);
        return filtered_path;
    }
    compression::DurableFile staged(filtered_path);
    run_engine(use_bedtools, *full_repeat_path, *repeat_bed_file_path, staged.temp_path(), false);
    staged.commit();
    return filtered_path;
}

namespace {

struct Split {
    std::string_view root;
    std::string_view extension;  // from the last dot, dot included; may be empty
};

// os.path.splitext on a name without separators.
Split split_extension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {name, {}};
    for (std::size_t i = 0; i < dot; ++i)
        if (name[i] != '.') return {name.substr(0, dot), name.substr(dot)};
    return {name, {}};
}

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

std::string_view without_compression_suffix(std::string_view name) {
    for (const std::string_view suffix : {std::string_view(".gz"), std::string_view(".bgz")})
        if (ends_with_ignoring_case(name, suffix)) return name.substr(0, name.size() - suffix.size());
    return name;
}

// The stem before "_filtered.vcf".
std::string_view filtered_stem(std::string_view name) {
    std::string_view remaining = name;
    for (;;) {
        const Split split = split_extension(remaining);
        if (split.extension == ".vcf") return split.root;
        // Without an extension the name no longer changes: there is no ".vcf" to reach.
        if (split.extension.empty()) return without_compression_suffix(name);
        remaining = split.root;
    }
}

}  // namespace

std::string filtered_repeat_path(const std::string& full_repeat_path) {
    // os.path.split: the directory keeps a run of leading separators only when
    // it is nothing but separators; trailing ones are dropped otherwise.
    const std::string_view path(full_repeat_path);
    const std::size_t last = path.rfind('/');
    const std::string_view name = last == std::string_view::npos ? path : path.substr(last + 1);
    std::string_view directory = last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
    if (directory.find_first_not_of('/') != std::string_view::npos)
        while (directory.ends_with('/')) directory.remove_suffix(1);

    std::string result(directory);
    if (!result.empty() && !result.ends_with('/')) result += '/';
    result += filtered_stem(name);
    result += "_filtered.vcf";
    return result;
}

}  // namespace callfold::repeats
