#include "common/progress.hpp"

namespace callfold {
namespace {

thread_local ProgressScope::Observer installed = nullptr;
thread_local std::uint64_t done = 0;

}  // namespace

ProgressScope::ProgressScope(Observer observer) : previous_observer_(installed), previous_done_(done) {
    installed = observer;
    done = 0;
}

ProgressScope::~ProgressScope() {
    installed = previous_observer_;
    done = previous_done_;
}

void report_progress(std::uint64_t bytes) {
    if (bytes == 0) return;  // an end of input is no progress
    done += bytes;
    if (installed != nullptr) installed(done);
}

}  // namespace callfold
