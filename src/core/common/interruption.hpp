// Long work asks now and then whether its caller wants it stopped (the user
// pressed Ctrl-C). The caller installs a check on its own thread for the span
// of one call; the core polls it at points where stopping leaves nothing
// half-done behind, and unwinds with Interrupted, cleaning up as on any error.
#pragma once

#include <exception>

namespace callfold {

struct Interrupted : std::exception {
    const char* what() const noexcept override { return "interrupted"; }
};

// The check answers true when the work is to stop. Installed for the lifetime
// of the scope on the constructing thread; scopes nest. Threads without a
// check (worker threads) never stop on their own.
class InterruptScope {
public:
    using Check = bool (*)();
    explicit InterruptScope(Check check);
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    Check previous_;
};

// Throws Interrupted when the check installed on this thread asks to stop.
// Cheap enough to call every few hundred kilobytes of work or after a system
// call was interrupted by a signal.
void poll_interrupt();

}  // namespace callfold
