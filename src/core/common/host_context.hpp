// What the core asks of whoever called it, through one context installed on the
// calling thread for the span of one call: where log events go, whether the work
// is to stop (the user pressed Ctrl-C), and who hears how far it has got. Each
// part may be absent. Threads without a context (worker threads, callers that do
// not care) drop log events, never stop on their own and only count progress.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <variant>
#include <vector>

namespace callfold {

struct Interrupted : std::exception {
    const char* what() const noexcept override { return "interrupted"; }
};

enum class LogLevel { info, warning };

struct Absent {};  // the host's null value
// A file's path: bytes as the file system takes them, not always UTF-8 text.
struct PathArg {
    std::string bytes;
};
using LogArg = std::variant<Absent, std::int64_t, std::string, PathArg, std::vector<std::string>>;

struct HostContext {
    // A printf-style format and its arguments, kept separate so the host's
    // logging facility can substitute them.
    using Log = void (*)(LogLevel level, const char* format, std::vector<LogArg> args);
    // True when the work is to stop.
    using InterruptCheck = bool (*)();
    // Told the running total of bytes done on every report; it decides itself
    // how often to pass it on. It may throw Interrupted to stop the work.
    using ProgressObserver = void (*)(std::uint64_t bytes_done);

    Log log = nullptr;
    InterruptCheck interrupted = nullptr;
    ProgressObserver progress = nullptr;
};

// Installs `context` on the constructing thread for the scope's life, with the
// progress count started afresh; scopes nest.
class HostScope {
public:
    explicit HostScope(const HostContext& context);
    ~HostScope();
    HostScope(const HostScope&) = delete;
    HostScope& operator=(const HostScope&) = delete;

private:
    HostContext previous_;
    std::uint64_t previous_done_;
};

// Passes a log event to this thread's host (dropped without one).
void log_event(LogLevel level, const char* format, std::vector<LogArg> args);

// Throws Interrupted when this thread's host asks to stop. Cheap enough to call
// every few hundred kilobytes of work or after a system call was interrupted by
// a signal; called only where stopping leaves nothing half-done behind (the
// work then unwinds, cleaning up as on any error).
void poll_interrupt();

// Adds `bytes` (bytes read from input files, bytes of text handed to compression,
// bytes copied from a child's output) to this thread's total for the call and
// tells the host's observer (not of 0 bytes). Made only where stopping leaves
// nothing half-done, since the observer may stop the work.
void report_progress(std::uint64_t bytes);

}  // namespace callfold
