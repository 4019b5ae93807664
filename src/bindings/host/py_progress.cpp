#include "host/py_progress.hpp"

#include <atomic>
#include <chrono>
#include <cmath>

#include "common/interruption.hpp"
#include "host/py_interrupts.hpp"

namespace callfold::py {
namespace {

using Clock = std::chrono::steady_clock;

// Read without the GIL to skip the clock and the GIL when nothing is registered.
std::atomic<bool> registered{false};
std::atomic<Clock::rep> min_interval{std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(250)).count()};
// The registered callable (a strong reference), read and replaced only with the GIL held.
PyObject* callback = nullptr;

thread_local Clock::time_point last_call;

void forward_progress(std::uint64_t bytes_done) {
    if (!registered.load(std::memory_order_relaxed)) return;
    const Clock::time_point now = Clock::now();
    if (now - last_call < Clock::duration(min_interval.load(std::memory_order_relaxed))) return;
    last_call = now;

    nb::gil_scoped_acquire gil;
    if (callback == nullptr) return;
    // Held for the call: the callable may unregister itself.
    const nb::object call = nb::borrow(callback);
    const nb::object count = nb::steal(PyLong_FromUnsignedLongLong(bytes_done));
    PyObject* result = count.is_valid() ? PyObject_CallOneArg(call.ptr(), count.ptr()) : nullptr;
    if (result == nullptr) {
        keep_raised_error();
        throw Interrupted();
    }
    Py_DECREF(result);
}

void set_progress(nb::handle new_callback, double interval_seconds) {
    if (!new_callback.is_none() && !PyCallable_Check(new_callback.ptr()))
        throw nb::type_error("_set_progress() callback must be callable or None");
    if (!std::isfinite(interval_seconds) || interval_seconds < 0)
        throw nb::value_error("_set_progress() min_interval must be a finite number of seconds, 0 or more");
    const std::chrono::duration<double> interval(interval_seconds);
    min_interval.store(std::chrono::duration_cast<Clock::duration>(interval).count(), std::memory_order_relaxed);
    PyObject* previous = callback;
    callback = new_callback.is_none() ? nullptr : new_callback.inc_ref().ptr();
    registered.store(callback != nullptr, std::memory_order_relaxed);
    Py_XDECREF(previous);
}

}  // namespace

ProgressScope::Observer start_progress_forwarding() {
    last_call = Clock::now();
    return &forward_progress;
}

void def_set_progress(nb::module_& m) {
    m.def("_set_progress", &set_progress, nb::arg("callback").none(), nb::arg("min_interval") = 0.25,
          nb::sig("def _set_progress(callback: Callable[[int], object] | None, min_interval: float = 0.25) -> None"),
          "Register callback(bytes_done) for this module's long calls, or None to stop.\n\n"
          "During a call it is called with the GIL held, with the bytes read from input files\n"
          "and compressed so far by that call, at most once per min_interval seconds (the\n"
          "first time once min_interval has passed). An error it raises stops the call and is\n"
          "raised to the caller.");
}

}  // namespace callfold::py
