#include "repeats/executable_lookup.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string_view>

namespace callfold::repeats {
namespace {

std::string default_search_path() {
    const std::size_t size = ::confstr(_CS_PATH, nullptr, 0);
    if (size == 0) return "/bin:/usr/bin";
    std::string value(size, '\0');
    ::confstr(_CS_PATH, value.data(), size);
    value.resize(size - 1);
    return value;
}

bool is_executable_file(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> find_executable(const std::string& name) {
    const char* variable = std::getenv("PATH");
    const std::string search = variable != nullptr ? std::string(variable) : default_search_path();
    if (search.empty()) return std::nullopt;

    std::set<std::string_view> seen;
    const std::string_view directories(search);
    std::size_t start = 0;
    for (;;) {
        std::size_t stop = directories.find(':', start);
        if (stop == std::string_view::npos) stop = directories.size();
        const std::string_view directory = directories.substr(start, stop - start);
        if (seen.insert(directory).second) {
            // An empty entry names the working directory, as joining "" and the name does.
            std::string candidate(directory);
            if (!candidate.empty() && candidate.back() != '/') candidate += '/';
            candidate += name;
            if (is_executable_file(candidate)) return candidate;
        }
        if (stop == directories.size()) return std::nullopt;
        start = stop + 1;
    }
}

}  // namespace callfold::repeats
