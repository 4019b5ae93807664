// Translation of the core's error types into the host's own error kinds.
#pragma once

namespace callfold::py {

// Registers the translator with nanobind, once however many modules call it as they load.
void register_error_translator();

}  // namespace callfold::py
