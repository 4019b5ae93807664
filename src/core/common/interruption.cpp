#include "common/interruption.hpp"

namespace callfold {
namespace {

thread_local InterruptScope::Check installed = nullptr;

}  // namespace

InterruptScope::InterruptScope(Check check) : previous_(installed) { installed = check; }

InterruptScope::~InterruptScope() { installed = previous_; }

void poll_interrupt() {
    if (installed != nullptr && installed()) throw Interrupted();
}

}  // namespace callfold
