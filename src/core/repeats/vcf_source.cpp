#include "repeats/vcf_source.hpp"


namespace callfold::repeats {

std::unique_ptr<LineStream> open_vcf_text(const std::string& path) {
    return std::make_unique<LineStream>(path, Compression::detect);
}

}  // namespace callfold::repeats
