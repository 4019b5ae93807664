#include "common/path_text.hpp"

#include <sys/stat.h>

#include "common/errors.hpp"

namespace callfold {
namespace {

bool stat_path(const std::string& path, struct stat& info) {
    return path.find('\0') == std::string::npos && ::stat(path.c_str(), &info) == 0;
}

}  // namespace

void require_path_text(const std::string& path) {
    if (path.find('\0') != std::string::npos) throw PathHasNul(path);
}

bool path_exists(const std::string& path) {
    struct stat info {};
    return stat_path(path, info);
}

bool is_regular_file(const std::string& path) {
    struct stat info {};
    return stat_path(path, info) && S_ISREG(info.st_mode);
}

std::size_t regular_file_size(const std::string& path) {
    struct stat info {};
    if (!stat_path(path, info) || !S_ISREG(info.st_mode)) return 0;
    return static_cast<std::size_t>(info.st_size);
}

}  // namespace callfold
