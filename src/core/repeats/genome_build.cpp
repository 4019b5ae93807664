#include "repeats/genome_build.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <memory>
#include <string_view>

#include "common/vcf_text.hpp"
#include "common/build_facts.hpp"
#include "common/file_status.hpp"
#include "common/tab_columns.hpp"
#include "repeats/record_span.hpp"

namespace callfold::repeats {
namespace {

enum class Assembly { grch38, grch37, t2t };

struct KnownLength {
    std::int64_t length;
    Assembly assembly;
    const char* name;
};
constexpr std::array<KnownLength, 3> chromosome_1_lengths = {{
    {248956422, Assembly::grch38, "GRCh38"},
    {249250621, Assembly::grch37, "GRCh37"},
    {248387328, Assembly::t2t, "T2T-CHM13"},
}};

// Words that name an assembly in a ##reference or ##assembly line (compared
// without case), most specific first.
struct AssemblyWord {
    std::string_view word;
    Assembly assembly;
};
constexpr std::array<AssemblyWord, 13> assembly_words = {{
    {"chm13", Assembly::t2t},          {"t2t", Assembly::t2t},
    {"grch38", Assembly::grch38},
    {"hg38", Assembly::grch38},        {"hs38", Assembly::grch38},
    {"gca_000001405.15", Assembly::grch38}, {"grch37", Assembly::grch37},
    {"hg19", Assembly::grch37},        {"hs37", Assembly::grch37},
    {"b37", Assembly::grch37},         {"g1k_v37", Assembly::grch37},
    {"human_g1k", Assembly::grch37},   {"1kg_v37", Assembly::grch37},
}};

const char* assembly_name(Assembly assembly) {
    switch (assembly) {
        case Assembly::grch38: return "GRCh38";
        case Assembly::grch37: return "GRCh37";
        case Assembly::t2t: return "T2T-CHM13";
    }
    return "";
}

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// What the header says, read once.
struct HeaderEvidence {
    std::optional<ContigLine> chromosome_1;  // "chr1" or "1" with its length
    std::string chromosome_1_id;
    std::optional<Assembly> named;           // by a ##reference or ##assembly line
    std::string named_line;
    std::optional<ChromosomeStyle> naming;   // of the first primary chromosome named
    std::string naming_example;

    void see_name(std::string_view name) {
        if (naming) return;
        naming = chromosome_style(name);
        if (naming) naming_example = name;
    }

    void see_header_line(std::string_view line) {
        line = without_line_end(line, LineEnd::newline_or_return);
        if (std::optional<ContigLine> contig = parse_contig_line(line)) {
            see_name(contig->id);
            if (!chromosome_1 && (contig->id == "chr1" || contig->id == "1") && contig->length) {
                chromosome_1 = contig;
                chromosome_1_id = contig->id;
            }
            return;
        }
        if (named || !(line.starts_with("##reference=") || line.starts_with("##assembly="))) return;
        const std::string text = lowered(line.substr(line.find('=') + 1));
        for (const AssemblyWord& word : assembly_words)
            if (text.find(word.word) != std::string::npos) {
                named = word.assembly;
                named_line = line;
                return;
            }
    }
};

RecognisedBuild with_naming(Assembly assembly, const std::string& seen, const HeaderEvidence& evidence) {
    const bool bare = evidence.naming == ChromosomeStyle::bare;
    const bool chr = evidence.naming == ChromosomeStyle::chr;
    const std::string naming = evidence.naming ? "chromosomes named like " + evidence.naming_example : "";
    if (assembly == Assembly::grch37) {
        if (chr) return {"hg19", seen + "; " + naming};
        if (bare) return {"b37", seen + "; " + naming};
        if (evidence.naming)
            return {std::nullopt, seen + ", but " + naming + ": no shipped catalog names GRCh37 so"};
        return {std::nullopt, seen + ", but no chromosome name tells hg19 (chr1) from b37 (1)"};
    }
    const std::string build = assembly == Assembly::grch38 ? "hg38" : "t2t";
    if (!evidence.naming || chr) return {build, seen};
    return {std::nullopt, seen + ", but " + naming + ": the " + build + " catalog names them chr1..chr22, chrX"};
}

}  // namespace

RecognisedBuild recognise_build(const std::string& vcf_path) {
    require_path_text(vcf_path);
    HeaderEvidence evidence;
    {
        std::unique_ptr<LineStream> source = open_vcf_text(vcf_path);
        for_each_vcf_line(
            *source, [&](std::string_view line) { evidence.see_header_line(line); },
            [&](std::string_view line, const std::optional<RecordSpan>&) {
                evidence.see_name(LineColumns<1>(without_line_end(line, LineEnd::newline_or_return))[0]);
                return !evidence.naming;  // records matter only for the naming
            });
        source->close();
    }
    if (evidence.chromosome_1) {
        const std::int64_t length = *evidence.chromosome_1->length;
        const std::string seen = "##contig " + evidence.chromosome_1_id + " length " + std::to_string(length);
        for (const KnownLength& known : chromosome_1_lengths)
            if (known.length == length) return with_naming(known.assembly, seen + " (" + known.name + ")", evidence);
        return {std::nullopt, seen + ", which is chromosome 1 of no build with a shipped catalog (GRCh38 248956422, "
                                     "GRCh37 249250621, T2T-CHM13 248387328)"};
    }
    if (evidence.named)
        return with_naming(*evidence.named,
                           evidence.named_line + " (" + assembly_name(*evidence.named) + ")", evidence);
    std::string why = "no ##contig length for chr1 or 1 and no ##reference or ##assembly line naming a build";
    if (evidence.naming) why += "; chromosomes named like " + evidence.naming_example + " fit more than one build";
    return {std::nullopt, why};
}

}  // namespace callfold::repeats
