// The two engines that keep the repeat VCF's records overlapping the catalog:
// the built-in one, and bedtools intersect with its executable found on PATH.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/host_context.hpp"
#include "repeats/chromosome_naming.hpp"

namespace callfold::repeats {

struct IntersectCounts {
    std::int64_t kept = 0;
    std::int64_t dropped = 0;  // records without a usable span or outside the catalog
    ChromosomeNaming naming;   // whether any record lay on a chromosome the catalog names
};

// Loads the catalog, opens the VCF, refuses an output path that names either
// input (InvalidValue), then streams the VCF into the output. Logs the two counts
// at info level once both files are closed. Throws SystemCallFailed, InvalidUtf8,
// DamagedGzip and InvalidValue, errors of reading either file located at their
// line; a file written before an error stays.
IntersectCounts intersect_builtin(const std::string& repeat_path, const std::string& bed_path,
                                  const std::string& output_path);

// The catalog intersection by the external program: `bedtools intersect`, its
// standard output copied into the output file.

inline constexpr const char* bedtools_program = "bedtools";

// The exact argument vector the program is started with.
std::vector<std::string> bedtools_arguments(const std::string& repeat_path, const std::string& bed_path);

// Refuses an output path naming either input (InvalidValue), creates or
// truncates the output file (SystemCallFailed when it cannot), starts bedtools found
// through PATH (SystemCallFailed with the program name when it cannot be started; the
// output file then exists and is empty), copies its standard output into the
// file, checking every write, the flush and the sync (SystemCallFailed), waits for it
// without a time limit and throws ChildProcessFailed with its exit status
// (negative: the signal that ended it) unless that is zero. On an interrupt
// the child is terminated and reaped before Interrupted is thrown.
void intersect_with_bedtools(const std::string& repeat_path, const std::string& bed_path,
                             const std::string& output_path);

// Finding a program on the search path the way the host's shutil.which does.

// The first "<dir>/<name>" over the directories of PATH (the system's default
// path when PATH is unset, nothing when it is empty) that is a regular file the
// process may execute. Searched afresh on every call.
std::optional<std::string> find_executable(const std::string& name);

}  // namespace callfold::repeats
