#include "common/input_location.hpp"

#include <new>

#include "common/host_context.hpp"

namespace callfold {
namespace {

// Enough for a reader to recognise the line; the bindings show fewer.
constexpr std::size_t kept_bytes = 256;

}  // namespace

std::string line_start_of(std::string_view line) {
    const std::size_t end = line.find_first_of("\r\n");
    if (end != std::string_view::npos) line = line.substr(0, end);
    return std::string(line.substr(0, kept_bytes));
}

void rethrow_located(InputLocation where) {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const Interrupted&) {
        throw;  // stopping is not a fault of the input
    } catch (InputLocation& located) {
        if (located.input.empty()) located.input = std::move(where.input);
        if (located.path.empty()) located.path = std::move(where.path);
        throw;
    } catch (...) {
        if (where.line == 0) throw;  // no place to add
        std::throw_with_nested(std::move(where));
    }
}

}  // namespace callfold
