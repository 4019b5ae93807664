// Where a reader's bytes come from: an open file, or bytes already in memory
// (an input that cannot be read twice, such as a pipe, is read once and then
// decoded from memory). A few leading bytes can be looked at before reading.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "common/system_io.hpp"

namespace callfold {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes; 0 at the end. Throws OsError.
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
    // The name used in errors.
    virtual const std::string& name() const = 0;
};

// Opens `path` for reading; OsError when it cannot be opened or is a directory.
std::unique_ptr<ByteSource> open_file_source(const std::string& path);

// Reads from `bytes`, which must outlive the source; `name` names them in errors.
std::unique_ptr<ByteSource> memory_source(std::string_view bytes, std::string name);

// Whether `source` starts with the gzip magic number. The bytes looked at are
// read again by later reads.
bool starts_with_gzip_magic(std::unique_ptr<ByteSource>& source);

// Everything `source` holds, read in slices so that an interrupt is noticed.
// An endless source ends in std::bad_alloc.
std::string read_all(ByteSource& source);

}  // namespace callfold
