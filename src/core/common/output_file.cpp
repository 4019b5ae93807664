#include "common/output_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/errors.hpp"
#include "common/path_text.hpp"

namespace callfold {
namespace {

constexpr std::size_t buffer_size = std::size_t{1} << 20;

}  // namespace

OutputFile::OutputFile(const std::string& path) : path_(path) {
    require_path_text(path);
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw OsError(errno, path);
    buffer_.reserve(buffer_size);
}

OutputFile::~OutputFile() {
    if (fd_ < 0) return;
    try {
        flush();
    } catch (...) {
    }
    ::close(fd_);
}

void OutputFile::write_through(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw OsError(errno, path_);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void OutputFile::flush() {
    if (buffer_.empty()) return;
    // Drop the buffered bytes even when the write fails, so that a later
    // flush (from the destructor) does not repeat a failed write.
    const std::string_view pending(buffer_.data(), buffer_.size());
    try {
        write_through(pending);
    } catch (...) {
        buffer_.clear();
        throw;
    }
    buffer_.clear();
}

void OutputFile::close() {
    if (fd_ < 0) return;
    try {
        flush();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) throw OsError(errno, path_);
}

}  // namespace callfold
