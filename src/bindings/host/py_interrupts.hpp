// Long work runs without the GIL; a Ctrl-C meanwhile only sets a flag that the
// host acts on when it next runs Python code. run_released lets the core poll
// for it: every few hundred kilobytes the core takes the GIL for a moment and
// has the host run its signal handlers; an error they raise (KeyboardInterrupt)
// stops the work, which unwinds as on any error, and is raised to the caller.
// The work's progress goes to the module's progress callable the same way.
#pragma once

#include <nanobind/nanobind.h>

#include <utility>

#include "common/interruption.hpp"
#include "host/py_progress.hpp"

namespace callfold::py {

namespace nb = nanobind;

// The check the core polls: true once a signal handler raised an error,
// which is kept for raise_interrupted.
bool host_signal_raised();

// Keeps the error being raised (one a progress callable raised) for
// raise_interrupted; the work is then stopped with Interrupted.
void keep_raised_error();

// Raises the error kept by host_signal_raised or keep_raised_error
// (KeyboardInterrupt when none was kept).
void raise_interrupted();

// Runs `work` without the GIL, with the host's signal handlers polled and its
// progress forwarded.
template <class Work>
decltype(auto) run_released(Work&& work) {
    const InterruptScope interrupts(&host_signal_raised);
    const ProgressScope progress(start_progress_forwarding());
    nb::gil_scoped_release released;
    return std::forward<Work>(work)();
}

}  // namespace callfold::py
