#include "common/output_file.hpp"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "common/errors.hpp"
#include "common/host_context.hpp"

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

namespace callfold::compression {
namespace {

constexpr int create_attempts = 100;

std::string random_suffix(std::mt19937_64& random) {
    static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    std::uint64_t bits = random();
    for (int i = 0; i < 10; ++i) {
        suffix += digits[bits % 36];
        bits /= 36;
    }
    return suffix;
}

// Some file systems cannot sync a directory at all; the rename is then as
// durable as that file system makes it.
void sync_directory(const std::string& directory) {
    const FileDescriptor handle = open_file(directory, O_RDONLY | O_DIRECTORY);
    sync_file(handle.get(), directory, Unsyncable::ignore);
}

}  // namespace

std::string directory_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void remove_file(const std::string& path) {
    if (::unlink(path.c_str()) != 0) throw SystemCallFailed(errno, path);
}

void remove_file_if_present(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw SystemCallFailed(errno, path);
}

DurableFile::DurableFile(std::string final_path) : final_path_(std::move(final_path)) {
    std::random_device device;
    std::mt19937_64 random((static_cast<std::uint64_t>(device()) << 32) ^ device() ^
                           static_cast<std::uint64_t>(::getpid()) ^
                           static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0;; ++attempt) {
        std::string candidate = final_path_ + "." + random_suffix(random) + ".tmp";
        try {
            // Mode 0666 less the umask: the permissions an ordinary new file gets.
            file_ = open_file(candidate, O_WRONLY | O_CREAT | O_EXCL, 0666);
            temp_path_ = std::move(candidate);
            return;
        } catch (const SystemCallFailed& error) {
            if (error.err != EEXIST || attempt + 1 == create_attempts) throw SystemCallFailed(error.err, final_path_);
        }
    }
}

DurableFile::~DurableFile() {
    if (!committed_) discard();
}

void DurableFile::discard() noexcept {
    file_.reset();
    if (!temp_path_.empty()) {
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
    }
}

void DurableFile::commit() {
    sync_file(file_.get(), temp_path_, Unsyncable::fail);
    file_.close(temp_path_);
    if (::rename(temp_path_.c_str(), final_path_.c_str()) != 0) throw SystemCallFailed(errno, final_path_);
    committed_ = true;
    temp_path_.clear();
    sync_directory(directory_of(final_path_));
}

}  // namespace callfold::compression
