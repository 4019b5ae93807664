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
struct OsError : std::runtime_error {
    OsError(int error_number, std::string file_path)
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
struct DecodeError : std::runtime_error {
    DecodeError(std::string window, std::size_t begin, std::size_t stop, Utf8Problem what)
        : std::runtime_error("invalid UTF-8"), object(std::move(window)), start(begin), end(stop), problem(what) {}
    std::string object;
    std::size_t start;
    std::size_t end;
    Utf8Problem problem;
};

// A damaged gzip stream, with what was found.
struct GzipError : std::runtime_error {
    enum class Kind {
        truncated,        // the file ends inside a member
        not_gzip,         // a member does not start with the magic bytes (`found` holds the two read)
        unknown_method,   // a compression method other than deflate
        crc_mismatch,     // stored and computed CRC-32 differ
        length_mismatch,  // stored and decoded length differ
        corrupt,          // the deflate data is invalid (`detail`: the decompressor's words)
    };
    explicit GzipError(Kind what, std::string bytes_found = {})
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
struct UnpackError : std::runtime_error {
    UnpackError(std::size_t wanted, std::size_t found)
        : std::runtime_error("wrong number of values to unpack"), expected(wanted), got(found) {}
    std::size_t expected;
    std::size_t got;
};

// Errors whose message is the system's own, complete as it stands.
struct ValueError : std::runtime_error { using std::runtime_error::runtime_error; };
struct OverflowError : std::runtime_error { using std::runtime_error::runtime_error; };
struct RuntimeError : std::runtime_error { using std::runtime_error::runtime_error; };

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
struct ChildProcessError : std::runtime_error {
    ChildProcessError(int status, std::vector<std::string> argv)
        : std::runtime_error("child process failed"), returncode(status), command(std::move(argv)) {}
    int returncode;
    std::vector<std::string> command;
};

}  // namespace callfold
