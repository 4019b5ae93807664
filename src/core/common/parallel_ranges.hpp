// Work over the items [0, count) split into consecutive ranges run at once: the
// first on the calling thread (where it may poll for an interrupt), each other
// on a thread of its own. The outcome is that of running the ranges one after
// another: when ranges fail, the error of the earliest reaches the caller, and
// the ranges after a failed one are told to stop.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

#include "common/host_context.hpp"

namespace callfold {

// Whether an earlier range has failed, so this one's work no longer counts.
class RangeStop {
public:
    RangeStop(const std::atomic<std::size_t>& first_failed, std::size_t range)
        : first_failed_(first_failed), range_(range) {}
    bool requested() const { return first_failed_.load(std::memory_order_relaxed) < range_; }
    // For a range's loop, with `done` items of it done: every 65,536 items,
    // looks for an interrupt (which throws Interrupted on a thread that takes
    // one) and answers requested(); false in between.
    bool due(std::size_t done) const {
        if (done % 65536 != 0) return false;
        poll_interrupt();
        return requested();
    }
    // Which range this is, counting from 0 in item order.
    std::size_t range() const { return range_; }

private:
    const std::atomic<std::size_t>& first_failed_;
    std::size_t range_;
};

// Caps the threads that work started on the constructing thread may use, for
// the scope's life: ranges_for and thread_cap() answer within it. 0 leaves the
// cap at the cores available. Scopes nest; the innermost one counts.
class ThreadCap {
public:
    explicit ThreadCap(unsigned threads);
    ~ThreadCap();
    ThreadCap(const ThreadCap&) = delete;
    ThreadCap& operator=(const ThreadCap&) = delete;

private:
    unsigned previous_;
};

// The threads this thread's work may use: the innermost ThreadCap's, else the cores available.
std::size_t thread_cap();

// How many ranges `count` items make: one per `per_range` items or part of it,
// at most thread_cap().
std::size_t ranges_for(std::size_t count, std::size_t per_range);

// Calls work(begin, end, stop) for each range, stop being a RangeStop.
template <class Work>
void run_in_ranges(std::size_t count, std::size_t ranges, Work&& work) {
    if (ranges == 0) ranges = 1;
    std::atomic<std::size_t> first_failed{ranges};
    std::vector<std::exception_ptr> errors(ranges);
    const auto bound = [&](std::size_t range) { return count / ranges * range + std::min(range, count % ranges); };
    const auto run = [&](std::size_t range) {
        try {
            work(bound(range), bound(range + 1), RangeStop(first_failed, range));
        } catch (...) {
            errors[range] = std::current_exception();
            std::size_t failed = first_failed.load();
            while (range < failed && !first_failed.compare_exchange_weak(failed, range)) {
            }
        }
    };
    std::vector<std::thread> threads;
    try {
        for (std::size_t range = 1; range < ranges; ++range) threads.emplace_back(run, range);
    } catch (...) {
        first_failed = 0;  // no thread: every started range stops
        for (std::thread& thread : threads) thread.join();
        throw;
    }
    run(0);
    for (std::thread& thread : threads) thread.join();
    for (const std::exception_ptr& error : errors)
        if (error) std::rethrow_exception(error);
}

}  // namespace callfold
