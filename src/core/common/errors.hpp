// The small set of error types the core throws. Each carries the facts of the
// failure (which file, which values); the binding layer turns each into the
// host's own error kind and words its message there, in one place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/text_rules.hpp"

namespace callfold {

// A failed system call on a named file (open, read, write, rename, ...).
struct SystemCallFailed : std::runtime_error {
    SystemCallFailed(int error_number, std::string file_path)
        : std::runtime_error("system call failed"), err(error_number), path(std::move(file_path)) {}
    int err;
    std::string path;
};

// A path that holds a NUL byte, which no file system call can take.
struct PathHasNul : std::runtime_error {
    explicit PathHasNul(std::string file_path) : std::runtime_error("NUL byte in a path"), path(std::move(file_path)) {}
    std::string path;
};

// Bytes that are not valid UTF-8. `object` is the window of input being decoded
// and [start, end) the offending bytes within it, as a strict decoder reports them.
struct InvalidUtf8 : std::runtime_error {
    InvalidUtf8(std::string window, std::size_t begin, std::size_t stop, Utf8Problem what)
        : std::runtime_error("invalid UTF-8"), object(std::move(window)), start(begin), end(stop), problem(what) {}
    std::string object;
    std::size_t start;
    std::size_t end;
    Utf8Problem problem;
};

// A damaged gzip stream, with what was found.
struct DamagedGzip : std::runtime_error {
    enum class Kind {
        truncated,        // the file ends inside a member
        not_gzip,         // a member does not start with the magic bytes (`found` holds the two read)
        unknown_method,   // a compression method other than deflate
        crc_mismatch,     // stored and computed CRC-32 differ
        length_mismatch,  // stored and decoded length differ
        corrupt,          // the deflate data is invalid (`detail`: the decompressor's words)
    };
    explicit DamagedGzip(Kind what, std::string bytes_found = {})
        : std::runtime_error("damaged gzip stream"), kind(what), found(std::move(bytes_found)) {}
    Kind kind;
    std::string found;
    std::uint32_t stored_crc = 0;
    std::uint32_t computed_crc = 0;
    std::string detail;
};

// Errors of the record rules, as a host would meet them splitting a line into a
// list and looking things up in it.
struct MissingField : std::runtime_error {  // field `index` of a line of `count` fields
    MissingField(std::size_t wanted, std::size_t fields)
        : std::runtime_error("missing field"), index(wanted), count(fields) {}
    std::size_t index;
    std::size_t count;
};
struct MissingKey : std::runtime_error {  // `key` absent from a list of keys
    explicit MissingKey(std::string wanted) : std::runtime_error("missing key"), key(std::move(wanted)) {}
    std::string key;
};
struct InvalidInteger : std::runtime_error {  // `text` is not integer text
    explicit InvalidInteger(std::string value) : std::runtime_error("not an integer"), text(std::move(value)) {}
    std::string text;
};
// Splitting a line into a fixed number of fields found another count.
struct WrongFieldCount : std::runtime_error {
    WrongFieldCount(std::size_t wanted, std::size_t found)
        : std::runtime_error("wrong number of values to unpack"), expected(wanted), got(found) {}
    std::size_t expected;
    std::size_t got;
};

// Errors whose message is the system's own, complete as it stands, by what went
// wrong: a value the operation refuses (inputs that disagree, a line of no known
// shape), a number beyond what it can hold, a tool it needs that is not installed.
struct InvalidValue : std::runtime_error { using std::runtime_error::runtime_error; };
struct ValueOutOfRange : std::runtime_error { using std::runtime_error::runtime_error; };
struct Unavailable : std::runtime_error { using std::runtime_error::runtime_error; };

// An output path that is one of the inputs the output is computed from, so that
// writing it would destroy that input. `input_key` is the input's type key ("sv",
// "cnv", ...) for a unified file, "repeats" or "catalog" for a filtered one.
struct OutputOverInput : std::runtime_error {
    enum class Output {
        unified,             // the unified file as first written
        unified_compressed,  // its compressed form, the unified path + ".gz"
        filtered,            // the filtered repeat VCF
    };
    OutputOverInput(Output which, std::string output, std::string key, std::string input)
        : std::runtime_error("output names an input"),
          output_kind(which),
          output_path(std::move(output)),
          input_key(std::move(key)),
          input_path(std::move(input)) {}
    Output output_kind;
    std::string output_path;
    std::string input_key;
    std::string input_path;
};

// A VCF that cannot be written as one that readers accept: a record that
// cannot be placed, or no column header at all. `line` is 1-based, 0 when
// the whole file is meant; `path` is filled in by the code that opened it.
struct VcfInputError : std::runtime_error {
    VcfInputError(std::uint64_t line_number, std::string what)
        : std::runtime_error("VCF cannot be written"), line(line_number), problem(std::move(what)) {}
    std::string path;
    std::uint64_t line;
    std::string problem;
};

// A child process that ran and ended with a non-zero status (negative: killed by that signal).
struct ChildProcessFailed : std::runtime_error {
    ChildProcessFailed(int status, std::vector<std::string> argv)
        : std::runtime_error("child process failed"), returncode(status), command(std::move(argv)) {}
    int returncode;
    std::vector<std::string> command;
};

}  // namespace callfold
