// The readers under test take paths: each input is written to a file first.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "common/input_location.hpp"

namespace callfold::fuzz {

class InputFile {
public:
    InputFile(const std::uint8_t* data, std::size_t size, const char* suffix = "") {
        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir ? dir : "/tmp") + "/callfold-fuzz-" + std::to_string(::getpid()) + suffix;
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
    }
    ~InputFile() { std::remove(path_.c_str()); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A failed invariant: crash loudly so that the fuzzer keeps the input.
inline void require(bool condition) {
    if (!condition) std::abort();
}

template <class Error>
bool holds(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Error&) {
        return true;
    } catch (...) {
        return false;
    }
}

// An error located in an input must name a line and wrap one of the `Known` kinds.
template <class... Known>
void require_located(const callfold::InputLocation& where) {
    require(where.line > 0);
    const auto* nested = dynamic_cast<const std::nested_exception*>(&where);
    require(nested != nullptr && (holds<Known>(nested->nested_ptr()) || ...));
}

}  // namespace callfold::fuzz
