// The host as the core sees it during a call: log events go to the root logger
// through the logging module's own functions (format and arguments separate);
// signal handlers are polled; progress goes to the one registered callable.
//
// Long work runs without the GIL; a Ctrl-C meanwhile only sets a flag that the
// host acts on when it next runs Python code. The core polls for it: every few
// hundred kilobytes it takes the GIL for a moment and has the host run its
// signal handlers; an error they raise (KeyboardInterrupt) stops the work, which
// unwinds as on any error, and is raised to the caller.
//
// Progress is passed to the callable registered with `_set_progress(callback)`
// (the same setter on every module, one registration): called with the running
// total of bytes done by the current call, with the GIL held, at most once per
// interval, so that showing progress costs the work nothing between calls. A
// callable that raises stops the work as an interrupt does, with its error.
#pragma once

#include <nanobind/nanobind.h>

#include <utility>

#include "common/host_context.hpp"
#include "host/host_api.hpp"

namespace callfold::py {

namespace nb = nanobind;

// The host for one call on this thread: log events to the root logger, signal
// handlers polled, and, `with_progress`, progress forwarded (its interval
// started afresh).
HostContext python_host(bool with_progress);

// Runs `work` without the GIL, with the host installed.
template <class Work>
decltype(auto) run_released(Work&& work) {
    const HostScope host(python_host(true));
    nb::gil_scoped_release released;
    return std::forward<Work>(work)();
}

// Runs `work` with the GIL held (it calls back into Python), with the host
// installed but no progress forwarded.
template <class Work>
decltype(auto) run_held(Work&& work) {
    const HostScope host(python_host(false));
    return std::forward<Work>(work)();
}

// Raises the error a signal handler or the progress callable raised on this
// thread, which stopped the work (KeyboardInterrupt when none was kept).
void raise_interrupted();

// Defines `_set_progress(callback, min_interval=0.25)` on the module: every
// module's sets the one registration, which all their calls report to.
CALLFOLD_HOST_API void def_set_progress(nb::module_& m);

}  // namespace callfold::py
