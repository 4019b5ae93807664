#include "compression/header_lines.hpp"

namespace callfold::compression {

std::vector<std::string> declared_contigs(const std::vector<std::string>& header) {
    std::vector<std::string> ids;
    std::string id;
    for (const std::string& line : header)
        if (structured_id(line, "##contig=<", id)) ids.push_back(id);
    return ids;
}

bool has_fileformat(const std::vector<std::string>& header) {
    for (const std::string& line : header)
        if (line.starts_with("##fileformat=")) return true;
    return false;
}

}  // namespace callfold::compression
