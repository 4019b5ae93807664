#include "common/output_file.hpp"

#include <fcntl.h>

#include "common/interruption.hpp"

namespace callfold {
namespace {

constexpr std::size_t buffer_size = std::size_t{1} << 20;

}  // namespace

OutputFile::OutputFile(const std::string& path)
    : path_(path), fd_(open_file(path, O_WRONLY | O_CREAT | O_TRUNC)) {
    buffer_.reserve(buffer_size);
}

OutputFile::~OutputFile() {
    if (!fd_.valid()) return;
    try {
        flush();
    } catch (...) {
    }
}

void OutputFile::write_through(std::string_view bytes) {
    poll_interrupt();
    write_all(fd_.get(), bytes, path_);
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

void OutputFile::close(Durability durability) {
    if (!fd_.valid()) return;
    try {
        flush();
        if (durability == Durability::synced) sync_file(fd_.get(), path_);
    } catch (...) {
        fd_.reset();
        throw;
    }
    fd_.close(path_);
}

}  // namespace callfold
