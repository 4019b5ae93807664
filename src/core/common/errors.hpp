// The small set of error types the core throws. The binding layer translates
// each into the host's own error kind in one place; the core never sees Python.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace callfold {

// A failed system call on a named file (open, read, write, rename, ...).
struct OsError : std::runtime_error {
    OsError(int error_number, std::string file_path)
        : std::runtime_error(file_path), err(error_number), path(std::move(file_path)) {}
    int err;
    std::string path;
};

// Bytes that are not valid UTF-8. `object` is the window of input being decoded
// and [start, end) the offending bytes within it, as a strict decoder reports them.
struct DecodeError : std::runtime_error {
    DecodeError(std::string window, std::size_t begin, std::size_t stop, std::string why)
        : std::runtime_error(why), object(std::move(window)), start(begin), end(stop), reason(std::move(why)) {}
    std::string object;
    std::size_t start;
    std::size_t end;
    std::string reason;
};

// A damaged gzip stream. The kinds follow how a gzip reader distinguishes them.
struct GzipError : std::runtime_error {
    enum class Kind { bad_format, truncated, corrupt };
    GzipError(Kind what, const std::string& message) : std::runtime_error(message), kind(what) {}
    Kind kind;
};

struct ValueError : std::runtime_error { using std::runtime_error::runtime_error; };
// Splitting a line into a fixed number of fields found another count. The host
// words this message differently across versions, so the bindings word it.
struct UnpackError : ValueError {
    UnpackError(std::size_t wanted, std::size_t found)
        : ValueError("wrong number of values to unpack"), expected(wanted), got(found) {}
    std::size_t expected;
    std::size_t got;
};

struct IndexError : std::runtime_error { using std::runtime_error::runtime_error; };
struct OverflowError : std::runtime_error { using std::runtime_error::runtime_error; };
struct RuntimeError : std::runtime_error { using std::runtime_error::runtime_error; };

// A child process that ran and ended with a non-zero status (negative: killed by that signal).
struct ChildProcessError : std::runtime_error {
    ChildProcessError(int status, std::vector<std::string> argv)
        : std::runtime_error("child process failed"), returncode(status), command(std::move(argv)) {}
    int returncode;
    std::vector<std::string> command;
};

}  // namespace callfold
