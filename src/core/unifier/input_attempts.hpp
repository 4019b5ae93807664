// An input of the unifier is read as gzip text first and, when that fails for
// any reason but an interrupt, as plain text. A pipe or device would give other
// bytes when opened again, so such an input is read once and both attempts
// are made on the same bytes; a regular file is simply opened again.
#pragma once

#include <exception>
#include <memory>
#include <string>

#include "common/byte_source.hpp"
#include "common/interruption.hpp"
#include "common/line_stream.hpp"

namespace callfold::unifier {

class InputBytes {
public:
    explicit InputBytes(const std::string& path);
    // A new source over the whole input.
    std::unique_ptr<ByteSource> open() const;
    // About how large the decoded text will be.
    std::size_t size_hint(Compression compression) const;

private:
    std::string path_;
    bool regular_;
    std::size_t file_size_ = 0;
    std::string once_;  // the bytes of an input that cannot be read twice
};

// `attempt(bytes, compression)` with gzip and then, unless it succeeded or
// was interrupted, with plain text; the plain attempt's errors reach the caller.
template <class Attempt>
auto gzip_then_plain(const std::string& path, const Attempt& attempt) {
    const InputBytes bytes(path);
    try {
        return attempt(bytes, Compression::gzip);
    } catch (const Interrupted&) {
        throw;
    } catch (const std::exception&) {
        // Not readable as gzip text, whatever the reason.
    }
    return attempt(bytes, Compression::plain);
}

}  // namespace callfold::unifier
