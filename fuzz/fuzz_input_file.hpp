// The readers under test take paths: each input is written to a file first.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

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

}  // namespace callfold::fuzz
