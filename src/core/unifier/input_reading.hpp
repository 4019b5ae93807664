// The vocabulary shared by the whole unifier: file-type keys in reading order
// and the names of the ROH input's formats.
#pragma once

#include <array>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_source.hpp"
#include "common/host_context.hpp"
#include "common/line_stream.hpp"

namespace callfold::unifier {

enum FileType : std::size_t { sv = 0, cnv = 1, repeats = 2, roh = 3 };
inline constexpr std::size_t file_type_count = 4;

inline constexpr std::array<std::string_view, file_type_count> file_type_keys = {"sv", "cnv", "repeats", "roh"};

// How an input is named where an error is located in it: "cnv input".
inline std::string input_name(std::string_view file_type) { return std::string(file_type) + " input"; }

inline constexpr std::string_view roh_format_auto = "auto";
inline constexpr std::string_view roh_format_bed = "bed";
inline constexpr std::string_view roh_format_vcf = "vcf";
inline constexpr std::string_view roh_format_bcftools_roh = "bcftools_roh";

// An input of the unifier is read as gzip text first and, when that fails for
// any reason but an interrupt, as plain text. A pipe or device would give other
// bytes when opened again, so such an input is read once and both attempts
// are made on the same bytes; a regular file is simply opened again.

class InputBytes {
public:
    explicit InputBytes(const std::string& path);
    // A new source over the whole input.
    std::unique_ptr<ByteSource> open() const;
    // About how large the decoded text will be.
    std::size_t size_hint(Compression compression) const;

private:
    std::string path_;
    bool regular_;
    std::size_t file_size_ = 0;
    std::string once_;  // the bytes of an input that cannot be read twice
};

// `attempt(bytes, compression)` with gzip and then, unless it succeeded or
// was interrupted, with plain text; the plain attempt's errors reach the caller.
template <class Attempt>
auto gzip_then_plain(const std::string& path, const Attempt& attempt) {
    const InputBytes bytes(path);
    try {
        return attempt(bytes, Compression::gzip);
    } catch (const Interrupted&) {
        throw;
    } catch (const std::exception&) {
        // Not readable as gzip text, whatever the reason.
    }
    return attempt(bytes, Compression::plain);
}

// Reading the unifier's inputs: gzip first, plain UTF-8 second, lines kept whole.

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
InputLines read_struct_lines(const InputPaths& paths, const std::vector<std::string>& drop_sv_filters);

}  // namespace callfold::unifier
