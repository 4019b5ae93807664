// Reading the unifier's inputs: gzip first, plain UTF-8 second, lines kept whole.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/line_stream.hpp"
#include "common/log_sink.hpp"
#include "unifier/file_types.hpp"

namespace callfold::unifier {

// One file's lines. The gzip attempt comes first; any failure of it (not gzip,
// damaged, not UTF-8, unreadable) is dropped and the file is read again as plain
// UTF-8, whose errors reach the caller.
TextLines get_lines(const std::string& path);

// The same reading, handed over a run of whole lines at a time (the last line
// of the text may come unterminated) rather than kept. `restart` comes before
// each attempt: what the failed gzip attempt handed over is to be forgotten.
struct LineSink {
    std::function<void()> restart;
    std::function<void(std::string_view)> lines;
};
void stream_lines(const std::string& path, const LineSink& sink);

// A record line: not blank and not "#" after stripping whitespace at both ends.
bool is_record_line(std::string_view line);
bool is_empty(const std::vector<std::string_view>& lines);

using InputPaths = std::array<std::optional<std::string>, file_type_count>;
using InputLines = std::array<std::optional<TextLines>, file_type_count>;

// Reads every present input in file-type order; SV lines go through the
// filter-token dropping. Absent and header-only inputs give a warning and nothing.
InputLines read_struct_lines(const InputPaths& paths, const std::vector<std::string>& drop_sv_filters,
                             const LogSink& log);

}  // namespace callfold::unifier
