#include "repeats/filter_entry.hpp"

#include "common/errors.hpp"
#include "common/input_location.hpp"
#include "common/file_status.hpp"
#include "compression/durable_file.hpp"
#include "repeats/bedtools_engine.hpp"
#include "repeats/builtin_engine.hpp"
#include "repeats/catalog.hpp"
#include "repeats/chromosome_survey.hpp"
#include "repeats/executable_lookup.hpp"
#include "repeats/output_name.hpp"
#include "common/output_guard.hpp"

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
    } catch (const DecodeError&) {
        return true;
    } catch (const GzipError&) {
        return true;
    } catch (...) {
    }
    return false;
}

void report_naming_after_bedtools(const std::string& repeat_path, const std::string& bed_path,
                                  const std::string& output_path, bool allow_mismatch, const LogSink& log) {
    if (!is_regular_file(repeat_path) || !is_regular_file(bed_path)) return;
    ChromosomeNaming naming;
    try {
        if (is_regular_file(output_path) && holds_records(output_path)) return;
        naming = survey_chromosome_naming(repeat_path, read_bed_intervals(bed_path));
    } catch (const InputLocation& where) {
        if (!wraps_undecodable_text(where)) throw;
        return;
    }
    naming.report(repeat_path, bed_path, allow_mismatch, log);
}

// One engine run into `output_path`, then the naming report.
void run_engine(bool use_bedtools, const std::string& repeat_path, const std::string& bed_path,
                const std::string& output_path, bool allow_mismatch, const LogSink& log) {
    if (use_bedtools) {
        intersect_with_bedtools(repeat_path, bed_path, output_path);
        report_naming_after_bedtools(repeat_path, bed_path, output_path, allow_mismatch, log);
    } else {
        intersect_builtin(repeat_path, bed_path, output_path, log).naming.report(repeat_path, bed_path,
                                                                                  allow_mismatch, log);
    }
}

}  // namespace

bool bedtools_available() { return find_executable(bedtools_program).has_value(); }

std::optional<std::string> filter_repeats_vcf(const std::optional<std::string>& full_repeat_path,
                                              const std::optional<std::string>& repeat_bed_file_path,
                                              std::optional<std::string> engine,
                                              const std::optional<std::string>& output_path, const LogSink& log,
                                              bool allow_build_mismatch) {
    if (!full_repeat_path) {
        log(LogLevel::warning, "Can't filter repeats file \"%s\". The file does not exist", {Absent{}});
        return std::nullopt;
    }
    if (!repeat_bed_file_path) {
        log(LogLevel::warning, "Can't filter repeats file with \"%s\". The bed file does not exist", {Absent{}});
        return std::nullopt;
    }
    if (!path_exists(*full_repeat_path)) {
        log(LogLevel::warning, "%s file doesn't exist", {PathArg{*full_repeat_path}});
        return std::nullopt;
    }
    if (!path_exists(*repeat_bed_file_path)) {
        log(LogLevel::warning, "%s doesn't exist", {PathArg{*repeat_bed_file_path}});
        return std::nullopt;
    }

    // The built-in engine unless bedtools is named: the result must not depend
    // on what the machine has installed, and bedtools sizes some records differently.
    if (!engine) engine = builtin_engine_name;
    const bool use_bedtools = *engine == bedtools_engine_name;
    if (use_bedtools && !bedtools_available())
        throw RuntimeError("bedtools was requested to filter the repeats VCF but is not on PATH");

    const std::string filtered_path =
        output_path && !output_path->empty() ? *output_path : filtered_repeat_path(*full_repeat_path);
    require_path_text(filtered_path);
    refuse_filtered_output_over_inputs(*full_repeat_path, *repeat_bed_file_path, filtered_path);

    log(LogLevel::info, "Filtering %s against %s with the %s engine",
        {PathArg{*full_repeat_path}, PathArg{*repeat_bed_file_path}, *engine});
    // A refused result must leave nothing behind, so it is written under a
    // temporary name and put in place once it is kept. A pipe or device at the
    // output path cannot be replaced: it is written as it is.
    if (allow_build_mismatch || (path_exists(filtered_path) && !is_regular_file(filtered_path))) {
        run_engine(use_bedtools, *full_repeat_path, *repeat_bed_file_path, filtered_path, allow_build_mismatch, log);
        return filtered_path;
    }
    compression::DurableFile staged(filtered_path);
    run_engine(use_bedtools, *full_repeat_path, *repeat_bed_file_path, staged.temp_path(), false, log);
    staged.commit();
    return filtered_path;
}

}  // namespace callfold::repeats
