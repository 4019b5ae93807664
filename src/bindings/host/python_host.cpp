#include "host/python_host.hpp"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace callfold::py {
namespace {

// The error a signal handler or the progress callable raised on this thread,
// a strong reference held until it is raised to the caller; read and replaced
// only with the GIL held.
thread_local PyObject* kept_error = nullptr;

PyObject* take_raised() {
#if PY_VERSION_HEX >= 0x030C0000
    return PyErr_GetRaisedException();
#else
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    if (value != nullptr && traceback != nullptr) PyException_SetTraceback(value, traceback);
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    return value;
#endif
}

// Keeps the error being raised (a signal handler's or the progress callable's)
// for raise_interrupted; the work is then stopped with Interrupted.
void keep_raised_error() {
    PyObject* error = take_raised();
    if (error == nullptr) return;
    Py_XDECREF(kept_error);
    kept_error = error;
}

// The check the core polls: true once a signal handler raised an error, which is kept.
bool host_signal_raised() {
    nb::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() == 0) return false;
    keep_raised_error();
    return true;
}

// A log argument as the host's value.
nb::object to_python(const LogArg& argument) {
    struct Visitor {
        nb::object operator()(const Absent&) const { return nb::none(); }
        nb::object operator()(std::int64_t value) const { return nb::int_(value); }
        nb::object operator()(const std::string& text) const { return nb::str(text.data(), text.size()); }
        nb::object operator()(const PathArg& path) const {
            PyObject* text = PyUnicode_DecodeFSDefaultAndSize(path.bytes.data(), static_cast<Py_ssize_t>(path.bytes.size()));
            if (text == nullptr) throw nb::python_error();
            return nb::steal(text);
        }
        nb::object operator()(const std::vector<std::string>& texts) const {
            nb::list list;
            for (const auto& text : texts) list.append(nb::str(text.data(), text.size()));
            return list;
        }
    };
    return std::visit(Visitor{}, argument);
}

// May be called with or without the GIL held; it takes the GIL itself.
void log_to_root_logger(LogLevel level, const char* format, std::vector<LogArg> args) {
    nb::gil_scoped_acquire gil;
    nb::object logging = nb::module_::import_("logging");
    nb::object log = logging.attr(level == LogLevel::warning ? "warning" : "info");
    PyObject* call_args = PyTuple_New(static_cast<Py_ssize_t>(args.size() + 1));
    if (call_args == nullptr) throw nb::python_error();
    nb::object tuple = nb::steal(call_args);
    PyTuple_SET_ITEM(call_args, 0, nb::str(format).release().ptr());
    for (std::size_t i = 0; i < args.size(); ++i)
        PyTuple_SET_ITEM(call_args, static_cast<Py_ssize_t>(i + 1), to_python(args[i]).release().ptr());
    PyObject* result = PyObject_Call(log.ptr(), call_args, nullptr);
    if (result == nullptr) throw nb::python_error();
    Py_DECREF(result);
}

// The one progress registration, shared by every module.
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

// Starts the interval afresh on this thread and returns the observer to install for one call.
HostContext::ProgressObserver start_progress_forwarding() {
    last_call = Clock::now();
    return &forward_progress;
}

}  // namespace

void raise_interrupted() {
    PyObject* error = kept_error;
    kept_error = nullptr;
    if (error == nullptr) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        return;
    }
#if PY_VERSION_HEX >= 0x030C0000
    PyErr_SetRaisedException(error);  // keeps the handler's traceback
#else
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error)), error);
    Py_DECREF(error);
#endif
}

HostContext python_host(bool with_progress) {
    return HostContext{&log_to_root_logger, &host_signal_raised, with_progress ? start_progress_forwarding() : nullptr};
}

void def_set_progress(nb::module_& m) {
    m.def("_set_progress", &set_progress, nb::arg("callback").none(), nb::arg("min_interval") = 0.25,
          nb::sig("def _set_progress(callback: Callable[[int], object] | None, min_interval: float = 0.25) -> None"),
          "Register callback(bytes_done) for the long calls of every Callfold module, or None\n"
          "to stop (one registration: the modules' _set_progress all set it).\n\n"
          "During a call it is called with the GIL held, with the bytes read from input files\n"
          "and compressed so far by that call, at most once per min_interval seconds (the\n"
          "first time once min_interval has passed). An error it raises stops the call and is\n"
          "raised to the caller.");
}

}  // namespace callfold::py
