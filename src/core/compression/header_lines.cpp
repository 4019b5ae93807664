#include "compression/header_lines.hpp"

namespace callfold::compression {

bool structured_id(std::string_view line, std::string_view prefix, std::string& id) {
    if (!line.starts_with(prefix)) return false;
    std::string_view body = line.substr(prefix.size());
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.remove_suffix(1);
    if (!body.empty() && body.back() == '>') body.remove_suffix(1);
    // key=value pairs separated by commas; a value may be quoted, with \" inside.
    std::size_t i = 0;
    while (i < body.size()) {
        const std::size_t key_start = i;
        while (i < body.size() && body[i] != '=' && body[i] != ',') ++i;
        const std::string_view key = body.substr(key_start, i - key_start);
        std::string value;
        if (i < body.size() && body[i] == '=') {
            ++i;
            if (i < body.size() && body[i] == '"') {
                ++i;
                while (i < body.size() && body[i] != '"') {
                    if (body[i] == '\\' && i + 1 < body.size()) ++i;
                    value += body[i++];
                }
                if (i < body.size()) ++i;  // closing quote
                while (i < body.size() && body[i] != ',') ++i;
            } else {
                const std::size_t value_start = i;
                while (i < body.size() && body[i] != ',') ++i;
                value.assign(body.substr(value_start, i - value_start));
            }
        }
        if (key == "ID") {
            id = std::move(value);
            return true;
        }
        if (i < body.size()) ++i;  // the comma
    }
    return false;
}

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
