// Long work says how far it has got, so that a caller at a terminal can show
// it: bytes read from input files, bytes of text handed to compression and
// bytes copied from a child's output, added up per thread for the span of one
// call. The caller installs an observer the way it installs an interrupt
// check; threads without one (worker threads, callers that do not care) only
// count.
#pragma once

#include <cstdint>

namespace callfold {

// The observer is told the running total on every report; it decides itself
// how often to pass it on. It may throw Interrupted to stop the work, so
// reports are made only where stopping leaves nothing half-done.
class ProgressScope {
public:
    using Observer = void (*)(std::uint64_t bytes_done);
    explicit ProgressScope(Observer observer);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    Observer previous_observer_;
    std::uint64_t previous_done_;
};

// Adds `bytes` to this thread's total and tells the installed observer (not of 0 bytes).
void report_progress(std::uint64_t bytes);

}  // namespace callfold
