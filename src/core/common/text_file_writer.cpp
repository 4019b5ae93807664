#include "common/text_file_writer.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/errors.hpp"

namespace callfold {
namespace {

constexpr std::size_t buffer_capacity = std::size_t{1} << 20;

}  // namespace

TextFileWriter::TextFileWriter(std::string path) : path_(std::move(path)) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw OsError(errno, path_);
    buffer_.reserve(buffer_capacity);
}

TextFileWriter::~TextFileWriter() {
    if (fd_ < 0) return;
    // Leaving by an error: keep what was written so far, as a plain close would.
    try {
        flush();
    } catch (...) {
    }
    ::close(fd_);
}

void TextFileWriter::write(std::string_view text) {
    if (buffer_.size() + text.size() > buffer_capacity) {
        flush();
        if (text.size() > buffer_capacity) {
            buffer_.assign(text);
            flush();
            return;
        }
    }
    buffer_.append(text);
}

void TextFileWriter::flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t written = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            throw OsError(errno, path_);
        }
        done += static_cast<std::size_t>(written);
    }
    buffer_.clear();
}

void TextFileWriter::close() {
    if (fd_ < 0) return;
    flush();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw OsError(errno, path_);
}

}  // namespace callfold
