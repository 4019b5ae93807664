// Leaving out SV records whose FILTER carries one of the caller's tokens.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/log_sink.hpp"

namespace callfold::unifier {

// Indices of the lines that stay, in order. Header lines and lines without a
// FILTER field always stay. Logs one info message when records were dropped.
std::vector<std::size_t> kept_sv_lines(const std::vector<std::string_view>& lines,
                                       const std::vector<std::string>& filter_tokens, const LogSink& log);

}  // namespace callfold::unifier
