// Opening a repeat VCF as a text stream, decompressed when the file starts
// with the gzip magic number, whatever its name.
#pragma once

#include <memory>
#include <string>

#include "common/line_stream.hpp"

namespace callfold::repeats {

// A reader over the whole text of `path`: every gzip member in turn when
// the file is gzip-compressed (BGZF included), else the plain text.
std::unique_ptr<LineStream> open_vcf_text(const std::string& path);

}  // namespace callfold::repeats
