#include "common/system_io.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/errors.hpp"
#include "common/file_status.hpp"

namespace callfold {

void FileDescriptor::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void FileDescriptor::close(const std::string& path) {
    const int fd = release();
    // After EINTR the descriptor is released all the same on Linux.
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) throw SystemCallFailed(errno, path);
}

FileDescriptor open_file(const std::string& path, int flags, unsigned mode) {
    require_path_text(path);
    // Opening a FIFO blocks until a writer comes: an interrupt must reach it.
    const int fd = retry_after_signal([&] { return ::open(path.c_str(), flags | O_CLOEXEC, mode); });
    if (fd < 0) throw SystemCallFailed(errno, path);
    return FileDescriptor(fd);
}

std::size_t read_some(int fd, char* buffer, std::size_t size, const std::string& path) {
    const ssize_t got = retry_after_signal([&] { return ::read(fd, buffer, size); });
    if (got < 0) throw SystemCallFailed(errno, path);
    return static_cast<std::size_t>(got);
}

std::size_t read_some_at(int fd, char* buffer, std::size_t size, std::uint64_t offset, const std::string& path) {
    const ssize_t got = retry_after_signal([&] { return ::pread(fd, buffer, size, static_cast<off_t>(offset)); });
    if (got < 0) throw SystemCallFailed(errno, path);
    return static_cast<std::size_t>(got);
}

void write_all(int fd, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t written = retry_after_signal([&] { return ::write(fd, bytes.data(), bytes.size()); });
        if (written < 0) throw SystemCallFailed(errno, path);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void sync_file(int fd, const std::string& path, Unsyncable unsyncable) {
    if (retry_after_signal([fd] { return ::fsync(fd); }, InterruptPoll::off) == 0) return;
    const bool cannot_sync = errno == EINVAL || errno == EROFS || errno == ENOTSUP;
    if (cannot_sync && unsyncable == Unsyncable::ignore) return;
    throw SystemCallFailed(errno, path);
}

void start_writeback(int fd, std::uint64_t offset, std::uint64_t length) {
#if defined(__linux__)
    static_cast<void>(::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE));
#else
    static_cast<void>(fd);
    static_cast<void>(offset);
    static_cast<void>(length);
#endif
}

}  // namespace callfold
