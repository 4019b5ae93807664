#include "compression/declaration_lines.hpp"

namespace callfold::compression {
namespace {

bool fits(const KeyDefinition& definition, const ValueEvidence& evidence) {
    if (definition.type == "Flag") return !evidence.used_with_value;
    if (evidence.used_without_value) return false;
    if (definition.type == "Integer" && !evidence.all_integer) return false;
    if (definition.type == "Float" && !evidence.all_float) return false;
    if (definition.number == "1" && !evidence.all_single) return false;
    if (definition.number == "2" && !evidence.all_pairs) return false;
    return true;
}

}  // namespace

bool declarable(std::string_view id) {
    if (id.empty()) return false;
    for (const char c : id) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || c == ',' || c == '<' || c == '>' || c == '"' || c == '=') return false;
    }
    return true;
}

std::string key_declaration(std::string_view kind, std::string_view id, const KeyDefinition* reserved,
                            const ValueEvidence& evidence, bool flags_allowed) {
    std::string_view number;
    std::string_view type;
    std::string_view description = undeclared_description;
    if (reserved != nullptr && fits(*reserved, evidence)) {
        number = reserved->number;
        type = reserved->type;
        description = reserved->description;
    } else if (flags_allowed && !evidence.used_with_value) {
        number = "0";
        type = "Flag";
    } else {
        number = evidence.all_single && !evidence.used_without_value ? "1" : ".";
        type = !evidence.any_present ? "String" : evidence.all_integer ? "Integer" : evidence.all_float ? "Float" : "String";
    }
    std::string line = "##";
    line.append(kind).append("=<ID=").append(id).append(",Number=").append(number);
    line.append(",Type=").append(type).append(",Description=\"").append(description).append("\">\n");
    return line;
}

std::string plain_declaration(std::string_view kind, std::string_view id, std::string_view description) {
    std::string line = "##";
    line.append(kind).append("=<ID=").append(id).append(",Description=\"").append(description).append("\">\n");
    return line;
}

}  // namespace callfold::compression
