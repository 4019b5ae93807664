// Translation of the core's error types into the host's own error kinds.
#pragma once

namespace callfold::py {

// Registers the translator with nanobind; each module calls it once when it loads.
void register_error_translator();

}  // namespace callfold::py
