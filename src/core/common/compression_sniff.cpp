#include "common/compression_sniff.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/errors.hpp"
#include "common/path_text.hpp"

namespace callfold {
namespace {

// Closes the descriptor on every exit from the sniffing scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

Compression sniff_compression(const std::string& path) {
    require_path_text(path);
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) throw OsError(errno, path);
    struct stat info {};
    if (::fstat(file.fd, &info) == 0 && S_ISDIR(info.st_mode)) throw OsError(EISDIR, path);

    unsigned char magic[2] = {0, 0};
    std::size_t got = 0;
    while (got < sizeof magic) {
        const ssize_t n = ::read(file.fd, magic + got, sizeof magic - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw OsError(errno, path);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return (got == 2 && magic[0] == 0x1f && magic[1] == 0x8b) ? Compression::gzip : Compression::plain;
}

}  // namespace callfold
