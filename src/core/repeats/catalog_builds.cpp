#include "repeats/catalog_builds.hpp"

#include <sys/stat.h>

#include <cerrno>

#include "common/errors.hpp"
#include "common/line_stream.hpp"
#include "common/system_io.hpp"
#include "compression/durable_file.hpp"

namespace callfold::repeats {
namespace {

std::string read_text(const std::string& path) {
    LineStream reader(path, Compression::plain);
    std::string text = reader.read_rest();
    reader.close();
    return text;
}

// The text of the file at `path`, or nothing when there is none to read.
std::optional<std::string> existing_text(const std::string& path) {
    struct stat status{};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    try {
        return read_text(path);
    } catch (const OsError&) {
        return std::nullopt;
    } catch (const DecodeError&) {
        return std::nullopt;  // damaged: written anew
    }
}

void make_directories(const std::string& directory) {
    for (std::size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        const std::string part = directory.substr(0, slash);
        // Owner only, as a per-user cache is made.
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) throw OsError(errno, part);
        if (slash == std::string::npos) return;
    }
}

}  // namespace

std::optional<std::string_view> shipped_catalog_name(std::string_view build) {
    if (build == "hg38") return "STRchive-disease-loci.hg38.TRGT.bed";
    if (build == "hg19" || build == derived_build) return "STRchive-disease-loci.hg19.TRGT.bed";
    if (build == "t2t") return "STRchive-disease-loci.T2T-chm13.TRGT.bed";
    return std::nullopt;
}

std::string known_builds() {
    std::string text;
    for (const std::string_view build : catalog_builds) text += (text.empty() ? "" : ", ") + std::string(build);
    return text;
}

std::string b37_catalog_text(std::string_view hg19_text) {
    std::string out;
    out.reserve(hg19_text.size());
    while (!hg19_text.empty()) {
        const std::size_t newline = hg19_text.find('\n');
        std::string_view line = hg19_text.substr(0, newline == std::string_view::npos ? hg19_text.size() : newline + 1);
        hg19_text.remove_prefix(line.size());
        if (line.starts_with("chrM\t")) {
            out += "MT";
            line.remove_prefix(4);
        } else if (line.starts_with("chr")) {
            line.remove_prefix(3);
        }
        out += line;
    }
    return out;
}

std::string derived_b37_catalog(const std::string& hg19_path, const std::string& directory) {
    const std::string text = b37_catalog_text(read_text(hg19_path));
    const std::string path = directory + "/" + std::string(derived_catalog_name);
    if (existing_text(path) == text) return path;
    make_directories(directory);
    // Written whole under a new name and renamed: a reader never meets half a
    // catalog, and two processes deriving at once each put a complete one in place.
    compression::DurableFile staged(path);
    write_all(staged.file().get(), text, staged.temp_path());
    staged.commit();
    return path;
}

}  // namespace callfold::repeats
