#include "common/host_context.hpp"

#include <utility>

namespace callfold {
namespace {

thread_local HostContext installed;
thread_local std::uint64_t done = 0;

}  // namespace

HostScope::HostScope(const HostContext& context) : previous_(installed), previous_done_(done) {
    installed = context;
    done = 0;
}

HostScope::~HostScope() {
    installed = previous_;
    done = previous_done_;
}

void log_event(LogLevel level, const char* format, std::vector<LogArg> args) {
    if (installed.log != nullptr) installed.log(level, format, std::move(args));
}

void poll_interrupt() {
    if (installed.interrupted != nullptr && installed.interrupted()) throw Interrupted();
}

void report_progress(std::uint64_t bytes) {
    if (bytes == 0) return;  // an end of input is no progress
    done += bytes;
    if (installed.progress != nullptr) installed.progress(done);
}

}  // namespace callfold
