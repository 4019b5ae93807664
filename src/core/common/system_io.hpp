// The system calls every reader and writer of the core shares: a descriptor
// owner, and read/write that resume after a signal (polling for an interrupt
// first, so that Ctrl-C during a blocked read stops the work).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace callfold {

// Owns one open file descriptor; closes it when destroyed.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset();
    // Closes now; OsError naming `path` when the close reports a failure.
    void close(const std::string& path);

private:
    int fd_ = -1;
};

// Opens `path` (refusing a NUL in it) with `flags`; OsError on failure.
FileDescriptor open_file(const std::string& path, int flags, unsigned mode = 0666);

// Up to `size` bytes into `buffer`; 0 at the end of the file. OsError naming `path`.
std::size_t read_some(int fd, char* buffer, std::size_t size, const std::string& path);

// All of `bytes`; OsError naming `path`.
void write_all(int fd, std::string_view bytes, const std::string& path);

// fsync; OsError naming `path`, except where the file cannot be synced at all
// (a pipe, a terminal, a device that keeps no data).
void sync_file(int fd, const std::string& path);

}  // namespace callfold
