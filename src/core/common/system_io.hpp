// The system calls every reader and writer of the core shares: a descriptor
// owner, and calls that resume after a signal (polling for an interrupt
// first, so that Ctrl-C during a blocked read stops the work).
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/host_context.hpp"

namespace callfold {

// Whether a call interrupted by a signal first asks if the work is to stop.
// Code that must not throw (a destructor) or must finish (a sync) only retries.
enum class InterruptPoll { on, off };

// Makes the system call `call` again for as long as a signal interrupts it
// (EINTR). Returns its last result: negative, with errno set, on any other failure.
template <class Call>
auto retry_after_signal(Call call, InterruptPoll poll = InterruptPoll::on) {
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR) return result;
        if (poll == InterruptPoll::on) poll_interrupt();
    }
}

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
    // Closes now; SystemCallFailed naming `path` when the close reports a failure.
    void close(const std::string& path);

private:
    int fd_ = -1;
};

// Opens `path` (refusing a NUL in it) with `flags`; SystemCallFailed on failure.
FileDescriptor open_file(const std::string& path, int flags, unsigned mode = 0666);

// Up to `size` bytes into `buffer`; 0 at the end of the file. SystemCallFailed naming `path`.
std::size_t read_some(int fd, char* buffer, std::size_t size, const std::string& path);

// Up to `size` bytes at `offset` into `buffer`, the file position left as it
// is; 0 at the end of the file. SystemCallFailed naming `path`.
std::size_t read_some_at(int fd, char* buffer, std::size_t size, std::uint64_t offset, const std::string& path);

// All of `bytes`; SystemCallFailed naming `path`.
void write_all(int fd, std::string_view bytes, const std::string& path);

// What a file that cannot be synced at all (a pipe, a terminal, a device or a
// file system that keeps no data) means to the caller: nothing to do, or an error.
enum class Unsyncable { ignore, fail };

// fsync; SystemCallFailed naming `path`.
void sync_file(int fd, const std::string& path, Unsyncable unsyncable = Unsyncable::ignore);

// Asks the system to start writing `length` bytes at `offset` of the file to
// its disk now, without waiting: a later sync_file then has less to wait for.
// Only a hint; where it is not supported nothing happens.
void start_writeback(int fd, std::uint64_t offset, std::uint64_t length);

}  // namespace callfold
