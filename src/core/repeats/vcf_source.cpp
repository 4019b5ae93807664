#include "repeats/vcf_source.hpp"

#include "common/compression_sniff.hpp"

namespace callfold::repeats {

std::unique_ptr<LineStream> open_vcf_text(const std::string& path) {
    const Compression compression = sniff_compression(path);
    return std::make_unique<LineStream>(path, compression);
}

}  // namespace callfold::repeats
