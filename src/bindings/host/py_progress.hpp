// Progress of long work, passed to a callable the host registers with each
// module (`_set_progress(callback)`): called with the running total of bytes
// done by the current call, with the GIL held, at most once per interval, so
// that showing progress costs the work nothing between calls.
#pragma once

#include <nanobind/nanobind.h>

#include "common/progress.hpp"

namespace callfold::py {

namespace nb = nanobind;

// Starts the interval afresh on this thread and returns the observer to install
// for one call. A callable that raises stops the work: its error is kept for
// raise_interrupted and the core unwinds as on an interrupt.
ProgressScope::Observer start_progress_forwarding();

// Defines `_set_progress(callback, min_interval=0.25)` on the module.
void def_set_progress(nb::module_& m);

}  // namespace callfold::py
