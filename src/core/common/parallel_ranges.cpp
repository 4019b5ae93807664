#include "common/parallel_ranges.hpp"

#include <algorithm>

namespace callfold {
namespace {

thread_local unsigned current_cap = 0;

}  // namespace

ThreadCap::ThreadCap(unsigned threads) : previous_(current_cap) {
    if (threads != 0) current_cap = threads;
}

ThreadCap::~ThreadCap() { current_cap = previous_; }

std::size_t thread_cap() {
    if (current_cap != 0) return current_cap;
    return std::max(1u, std::thread::hardware_concurrency());
}

std::size_t ranges_for(std::size_t count, std::size_t per_range) {
    return std::max<std::size_t>(1, std::min(thread_cap(), (count + per_range - 1) / per_range));
}

}  // namespace callfold
