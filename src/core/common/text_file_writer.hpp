// A text output file opened like the host's open(path, "w+"): created, or
// truncated when it exists, and written through a large buffer.
#pragma once

#include <string>
#include <string_view>

namespace callfold {

class TextFileWriter {
public:
    // Throws OsError when the file cannot be opened.
    explicit TextFileWriter(std::string path);
    ~TextFileWriter();  // closes without reporting; call close() to see errors
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    void write(std::string_view text);
    // Flushes the buffer and closes the file; throws OsError on failure.
    void close();
    const std::string& path() const { return path_; }

private:
    void flush();

    std::string path_;
    int fd_ = -1;
    std::string buffer_;
};

}  // namespace callfold
