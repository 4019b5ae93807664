#include "common/system_io.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/errors.hpp"
#include "common/interruption.hpp"
#include "common/path_text.hpp"

namespace callfold {

void FileDescriptor::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void FileDescriptor::close(const std::string& path) {
    const int fd = release();
    // After EINTR the descriptor is released all the same on Linux.
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) throw OsError(errno, path);
}

FileDescriptor open_file(const std::string& path, int flags, unsigned mode) {
    require_path_text(path);
    for (;;) {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
        if (fd >= 0) return FileDescriptor(fd);
        if (errno != EINTR) throw OsError(errno, path);
        poll_interrupt();  // opening a FIFO blocks until a writer comes
    }
}

std::size_t read_some(int fd, char* buffer, std::size_t size, const std::string& path) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) throw OsError(errno, path);
        poll_interrupt();
    }
}

void write_all(int fd, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno != EINTR) throw OsError(errno, path);
            poll_interrupt();
            continue;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void sync_file(int fd, const std::string& path) {
    while (::fsync(fd) != 0) {
        if (errno == EINTR) continue;
        if (errno == EINVAL || errno == EROFS || errno == ENOTSUP) return;
        throw OsError(errno, path);
    }
}

}  // namespace callfold
