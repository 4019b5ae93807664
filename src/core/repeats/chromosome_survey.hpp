// What an engine that does not read the files itself (bedtools) leaves unknown:
// whether its output kept any record, and on which chromosomes the VCF's
// records lie compared with the catalog's.
#pragma once

#include <string>

#include "repeats/catalog.hpp"
#include "repeats/chromosome_naming.hpp"

namespace callfold::repeats {

// Whether the VCF at `path` holds a record line; reading stops at the first.
// Throws OsError, DecodeError and GzipError.
bool holds_records(const std::string& path);

// One pass over the records of the repeat VCF, stopping at the first that lies
// on a chromosome the catalog names. Throws OsError, DecodeError and GzipError.
ChromosomeNaming survey_chromosome_naming(const std::string& repeat_path, const Catalog& catalog);

}  // namespace callfold::repeats
