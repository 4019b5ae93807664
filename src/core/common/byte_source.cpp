#include "common/byte_source.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/errors.hpp"
#include "common/host_context.hpp"

namespace callfold {
namespace {

class FileSource final : public ByteSource {
public:
    FileSource(FileDescriptor fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    // Every read may wait on a pipe that trickles: look for an interrupt before each.
    std::size_t read(char* buffer, std::size_t size) override {
        poll_interrupt();
        const std::size_t got = read_some(fd_.get(), buffer, size, path_);
        report_progress(got);
        return got;
    }
    const std::string& name() const override { return path_; }

private:
    FileDescriptor fd_;
    std::string path_;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(std::string_view bytes, std::string name) : bytes_(bytes), name_(std::move(name)) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t count = std::min(size, bytes_.size());
        std::memcpy(buffer, bytes_.data(), count);
        bytes_.remove_prefix(count);
        return count;
    }
    const std::string& name() const override { return name_; }

private:
    std::string_view bytes_;
    std::string name_;
};

// Bytes read ahead of the source, handed out again before the source's own.
class PrefixedSource final : public ByteSource {
public:
    PrefixedSource(std::string prefix, std::unique_ptr<ByteSource> rest)
        : prefix_(std::move(prefix)), rest_(std::move(rest)) {}
    std::size_t read(char* buffer, std::size_t size) override {
        if (used_ == prefix_.size()) return rest_->read(buffer, size);
        const std::size_t count = std::min(size, prefix_.size() - used_);
        std::memcpy(buffer, prefix_.data() + used_, count);
        used_ += count;
        return count;
    }
    const std::string& name() const override { return rest_->name(); }

private:
    std::string prefix_;
    std::size_t used_ = 0;
    std::unique_ptr<ByteSource> rest_;
};

}  // namespace

std::unique_ptr<ByteSource> open_file_source(const std::string& path) {
    FileDescriptor fd = open_file(path, O_RDONLY);
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0 && S_ISDIR(info.st_mode)) throw SystemCallFailed(EISDIR, path);
    return std::make_unique<FileSource>(std::move(fd), path);
}

std::unique_ptr<ByteSource> memory_source(std::string_view bytes, std::string name) {
    return std::make_unique<MemorySource>(bytes, std::move(name));
}

bool starts_with_gzip_magic(std::unique_ptr<ByteSource>& source) {
    std::string magic(2, '\0');
    std::size_t got = 0;
    while (got < magic.size()) {
        const std::size_t n = source->read(magic.data() + got, magic.size() - got);
        if (n == 0) break;
        got += n;
    }
    magic.resize(got);
    const bool gzip = got == 2 && magic[0] == '\x1f' && magic[1] == '\x8b';
    source = std::make_unique<PrefixedSource>(std::move(magic), std::move(source));
    return gzip;
}

std::string read_all(ByteSource& source) {
    constexpr std::size_t slice = std::size_t{1} << 20;
    std::string bytes;
    for (;;) {
        const std::size_t size = bytes.size();
        bytes.resize(size + slice);
        const std::size_t got = source.read(bytes.data() + size, slice);
        bytes.resize(size + got);
        if (got == 0) return bytes;
        poll_interrupt();
    }
}

}  // namespace callfold
