// Forwards the core's log events to the host's root logger through the logging
// module's own functions (logging.warning / logging.info), format and arguments separate.
#pragma once

#include "common/log_sink.hpp"

namespace callfold::py {

// A sink that may be called with or without the GIL held; it takes the GIL itself.
LogSink root_logger_sink();

}  // namespace callfold::py
