#include "common/file_status.hpp"

#include <cerrno>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

namespace {

std::string current_directory() {
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) return std::string(buffer.data());
        if (errno != ERANGE) throw SystemCallFailed(errno, ".");
        buffer.resize(buffer.size() * 2);
    }
}

// posixpath.normpath: two leading separators are kept, one or three and more
// become one; empty and "." components go; ".." removes the component before
// it (and is dropped at the root).
std::string normalize(std::string_view path) {
    if (path.empty()) return ".";
    std::size_t leading = 0;
    while (leading < path.size() && path[leading] == '/') ++leading;
    const std::string root = leading == 0 ? "" : leading == 2 ? "//" : "/";

    std::vector<std::string_view> parts;
    std::size_t pos = leading;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string_view::npos) next = path.size();
        const std::string_view part = path.substr(pos, next - pos);
        if (part.empty() || part == ".") {
            // nothing
        } else if (part != "..") {
            parts.push_back(part);
        } else if (!parts.empty() && parts.back() != "..") {
            parts.pop_back();
        } else if (root.empty()) {
            parts.push_back(part);
        }
        pos = next + 1;
    }
    std::string result = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) result += '/';
        result += parts[i];
    }
    return result.empty() ? "." : result;
}

}  // namespace

std::string normalized_absolute_path(const std::string& path) {
    if (!path.empty() && path.front() == '/') return normalize(path);
    return normalize(current_directory() + "/" + path);
}

bool same_file(const std::string& first, const std::string& second) {
    struct stat first_info {};
    struct stat second_info {};
    if (::stat(first.c_str(), &first_info) == 0 && ::stat(second.c_str(), &second_info) == 0)
        return first_info.st_dev == second_info.st_dev && first_info.st_ino == second_info.st_ino;
    return normalized_absolute_path(first) == normalized_absolute_path(second);
}

bool same_existing_file(const std::string& first, const std::string& second) {
    // A path holding a NUL names no file; the system call would see a shorter one.
    if (first.find('\0') != std::string::npos || second.find('\0') != std::string::npos) return false;
    struct stat a {};
    struct stat b {};
    if (::stat(first.c_str(), &a) != 0 || ::stat(second.c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace callfold
