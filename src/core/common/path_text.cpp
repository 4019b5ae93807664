#include "common/path_text.hpp"

#include <sys/stat.h>

#include "common/errors.hpp"

namespace callfold {

void require_path_text(const std::string& path) {
    if (path.find('\0') != std::string::npos) throw PathHasNul(path);
}

bool path_exists(const std::string& path) {
    if (path.find('\0') != std::string::npos) return false;
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace callfold
