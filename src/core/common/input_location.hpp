// Where in an input an error arose. The code that knows the place rethrows the
// error inside an InputLocation (std::throw_with_nested), so that the error
// keeps its own kind and facts and the binding layer can add where it happened.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace callfold {

struct InputLocation : std::exception {
    std::string input;       // what the input is ("cnv input", "repeat VCF", ...); empty when unknown
    std::string path;        // empty when the call does not know it
    std::uint64_t line = 0;  // 1-based; 0 when unknown
    std::string line_start;  // the first bytes of the offending line, without its terminator
    const char* what() const noexcept override { return "error in an input"; }
};

// The first bytes of `line` for a location: no terminator, at most a few hundred bytes.
std::string line_start_of(std::string_view line);

// Inside a catch block: rethrows the current error located at `where`. An error
// already located keeps its place and only gains the input and path it lacks;
// an error not located yet passes unchanged when `where` names no line, and so
// do memory exhaustion and an interrupt.
[[noreturn]] void rethrow_located(InputLocation where);

}  // namespace callfold
