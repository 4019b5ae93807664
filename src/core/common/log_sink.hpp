// Log events leave the core through a callback: a printf-style format and its
// arguments, kept separate so the host's logging facility can substitute them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace callfold {

enum class LogLevel { info, warning };

struct Absent {};  // the host's null value
// A file's path: bytes as the file system takes them, not always UTF-8 text.
struct PathArg {
    std::string bytes;
};
using LogArg = std::variant<Absent, std::int64_t, std::string, PathArg, std::vector<std::string>>;

using LogSink = std::function<void(LogLevel, const char* format, std::vector<LogArg> args)>;

// Default for callers that do not care about log events.
inline void discard_log(LogLevel, const char*, std::vector<LogArg>) {}

}  // namespace callfold
