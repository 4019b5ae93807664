#include "unifier/unified_header.hpp"

#include <optional>
#include <string>
#include <vector>

#include "common/vcf_text.hpp"
#include "unifier/sections.hpp"

namespace callfold::unifier {
namespace {

struct DeclarationKind {
    std::string_view prefix;
    std::string_view name;
};

constexpr std::array<DeclarationKind, declaration_kind_count> declaration_kinds = {{
    {"##INFO=<", "INFO"},
    {"##FORMAT=<", "FORMAT"},
    {"##FILTER=<", "FILTER"},
    {"##ALT=<", "ALT"},
    {"##contig=<", "contig"},
}};
constexpr std::size_t format_kind = 1;

struct Declaration {
    std::size_t kind = 0;
    std::string id;
    std::optional<std::string> number;
    std::optional<std::string> type;
};

// The declaration a header line makes; nothing for any other line and for one
// that names no ID.
std::optional<Declaration> read_declaration(std::string_view line) {
    if (!line.starts_with("##")) return std::nullopt;
    for (std::size_t kind = 0; kind < declaration_kinds.size(); ++kind) {
        StructuredFields fields(line, declaration_kinds[kind].prefix);
        if (!fields.of_kind()) continue;
        Declaration declaration;
        declaration.kind = kind;
        bool has_id = false;
        StructuredField field;
        while (fields.next(field)) {
            if (field.key == "ID" && !has_id) {
                declaration.id = std::move(field.value);
                has_id = true;
            } else if (field.key == "Number" && !declaration.number) {
                declaration.number = std::move(field.value);
            } else if (field.key == "Type" && !declaration.type) {
                declaration.type = std::move(field.value);
            }
        }
        if (!has_id) return std::nullopt;
        return declaration;
    }
    return std::nullopt;
}

std::string shape_of(const Declaration& declaration) {
    std::string shape;
    if (declaration.number) shape.append("Number=").append(*declaration.number);
    if (declaration.type) shape.append(shape.empty() ? "" : ",").append("Type=").append(*declaration.type);
    return shape.empty() ? "no Number or Type" : shape;
}

constexpr std::string_view genotype_number = "1";
constexpr std::string_view genotype_type = "String";

bool is_wrong_genotype(const Declaration& declaration) {
    return declaration.kind == format_kind && declaration.id == "GT" &&
           (declaration.number != genotype_number || declaration.type != genotype_type);
}

// `line` with Number=1 and Type=String in place of what it states (added after
// the ID when it states nothing); every other pair and the terminator as written.
std::string corrected_genotype_line(std::string_view line, const Declaration& declaration) {
    const std::string_view prefix = declaration_kinds[format_kind].prefix;
    std::string corrected(prefix);
    bool first = true;
    const auto append = [&](std::string_view text) {
        if (!first) corrected.push_back(',');
        corrected.append(text);
        first = false;
    };
    StructuredFields fields(line, prefix);
    StructuredField field;
    while (fields.next(field)) {
        if (field.key == "Number") {
            append("Number=1");
        } else if (field.key == "Type") {
            append("Type=String");
        } else {
            append(field.text);
            if (field.key != "ID") continue;
            if (!declaration.number) append("Number=1");
            if (!declaration.type) append("Type=String");
        }
    }
    corrected.push_back('>');
    std::size_t end = line.size();
    while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) --end;
    corrected.append(line.substr(end));
    return corrected;
}

// Writes the line the header holds for `declaration`, made by `line` of the
// input `input_key`: the line itself, or the corrected GT line with a warning,
// after which `declaration` states what the header holds.
void write_declaration(const std::string& input_key, std::string_view line, Declaration& declaration,
                       const LineOut& out) {
    if (!is_wrong_genotype(declaration)) {
        out(line);
        return;
    }
    log_event(LogLevel::warning,
        "The %s input declares FORMAT GT with %s; the unified header declares it with Number=1,Type=String, "
        "the genotype text that its records hold",
        {input_key, shape_of(declaration)});
    out(corrected_genotype_line(line, declaration));
    declaration.number = std::string(genotype_number);
    declaration.type = std::string(genotype_type);
}

}  // namespace

UnifiedHeader::UnifiedHeader(const LinesByType& lines, const Layout& layout)
    : lines_(lines), layout_(layout), donor_(*layout.donor) {}

void UnifiedHeader::write_donor_line(std::string_view line, const LineOut& out) {
    if (done_) {
        out(line);
        return;
    }
    if (mentions_column_header(line)) {
        write_appended_declarations(out);
        done_ = true;
        out(line);
        return;
    }
    std::optional<Declaration> declaration = read_declaration(line);
    if (!declaration) {
        out(line);
        return;
    }
    write_declaration(std::string(file_type_keys[donor_]), line, *declaration, out);
    declared_[declaration->kind].try_emplace(std::move(declaration->id), Declared{donor_, shape_of(*declaration)});
}

void UnifiedHeader::write_appended_declarations(const LineOut& out) {
    for (const AppendedSection& section : layout_.appended) {
        if (section.converted) continue;
        const std::vector<std::string_view>& input = *lines_[section.type];
        // The body is the tail of the input's lines, after its column header line.
        const std::size_t header_size = input.size() - section.body.size() - 1;
        const std::string input_key(file_type_keys[section.type]);
        for (std::size_t i = 0; i < header_size; ++i) {
            std::optional<Declaration> declaration = read_declaration(input[i]);
            if (!declaration) continue;
            StringMap<Declared>& declared = declared_[declaration->kind];
            const DeclarationKind& kind = declaration_kinds[declaration->kind];
            if (const auto found = declared.find(declaration->id); found != declared.end()) {
                const std::string shape = shape_of(*declaration);
                if (found->second.input != section.type && shape != found->second.shape)
                    log_event(LogLevel::warning,
                              "The %s input declares %s %s with %s but the %s input declared it first; the unified "
                              "header keeps %s",
                              {input_key, std::string(kind.name), declaration->id, shape,
                               std::string(file_type_keys[found->second.input]), found->second.shape});
                continue;
            }
            write_declaration(input_key, input[i], *declaration, out);
            declared.emplace(std::move(declaration->id), Declared{section.type, shape_of(*declaration)});
        }
    }
}

}  // namespace callfold::unifier
