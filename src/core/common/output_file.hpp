// A plain output file written through one large buffer: created or truncated
// on opening (as the host's open(path, "w") does), bytes written as given, with
// no newline translation.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/system_io.hpp"

namespace callfold {

enum class Durability { buffered, synced };

class OutputFile {
public:
    // Throws OsError when the file cannot be created or truncated.
    explicit OutputFile(const std::string& path);
    // Flushes what is buffered (errors are lost here; call close() to see them).
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view bytes) {
        if (bytes.size() > buffer_.capacity() - buffer_.size()) {
            flush();
            if (bytes.size() >= buffer_.capacity()) {
                write_through(bytes);
                return;
            }
        }
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    }

    // Flushes and closes; throws OsError on a failed write or close. Synced,
    // the data is on the storage device before the file is closed (so that a
    // full disk or a failing device is reported here, not lost).
    void close(Durability durability = Durability::buffered);

private:
    void flush();
    void write_through(std::string_view bytes);

    std::string path_;
    FileDescriptor fd_;
    std::vector<char> buffer_;
};

}  // namespace callfold
