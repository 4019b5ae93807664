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
    // Throws SystemCallFailed when the file cannot be created or truncated.
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

    // Flushes and closes; throws SystemCallFailed on a failed write or close. Synced,
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

// A file that appears under its final name only once it is complete and on disk.
// It is written under a unique temporary name in the same directory, created
// exclusively; commit() fsyncs it, renames it over the final name and fsyncs the
// directory. Until commit() succeeds, destruction removes the temporary file, so
// an error never leaves a partial file under either name.
namespace callfold::compression {

class DurableFile {
public:
    // Throws SystemCallFailed when no temporary file can be created beside `final_path`.
    explicit DurableFile(std::string final_path);
    ~DurableFile();
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    const FileDescriptor& file() const { return file_; }
    const std::string& temp_path() const { return temp_path_; }
    const std::string& final_path() const { return final_path_; }

    // Throws SystemCallFailed. After a failure the temporary file is still removed on
    // destruction and nothing has been placed under the final name, except when
    // only the directory sync fails after the rename: the file under the final
    // name is then complete, and the error still reaches the caller.
    void commit();
    // True once the file is under its final name (even when commit() then threw).
    bool committed() const { return committed_; }

private:
    void discard() noexcept;

    std::string final_path_;
    std::string temp_path_;
    FileDescriptor file_;
    bool committed_ = false;
};

// The directory part of `path` ("." when it has none), as path splitting gives it.
std::string directory_of(const std::string& path);

// unlink(path), throwing SystemCallFailed on failure.
void remove_file(const std::string& path);

// unlink(path) when there is something under that name; SystemCallFailed when it cannot be removed.
void remove_file_if_present(const std::string& path);

}  // namespace callfold::compression
