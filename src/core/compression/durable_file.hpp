// A file that appears under its final name only once it is complete and on disk.
// It is written under a unique temporary name in the same directory, created
// exclusively; commit() fsyncs it, renames it over the final name and fsyncs the
// directory. Until commit() succeeds, destruction removes the temporary file, so
// an error never leaves a partial file under either name.
#pragma once

#include <string>

#include "common/system_io.hpp"

namespace callfold::compression {

class DurableFile {
public:
    // Throws OsError when no temporary file can be created beside `final_path`.
    explicit DurableFile(std::string final_path);
    ~DurableFile();
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    const FileDescriptor& file() const { return file_; }
    const std::string& temp_path() const { return temp_path_; }
    const std::string& final_path() const { return final_path_; }

    // Throws OsError. After a failure the temporary file is still removed on
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

// unlink(path), throwing OsError on failure.
void remove_file(const std::string& path);

// unlink(path) when there is something under that name; OsError when it cannot be removed.
void remove_file_if_present(const std::string& path);

}  // namespace callfold::compression
