#include "unifier/input_attempts.hpp"

#include "common/file_status.hpp"

namespace callfold::unifier {

InputBytes::InputBytes(const std::string& path) : path_(path), regular_(is_regular_file(path)) {
    if (!regular_) {
        once_ = read_all(*open_file_source(path));
        return;
    }
    file_size_ = regular_file_size(path);
}

std::unique_ptr<ByteSource> InputBytes::open() const {
    return regular_ ? open_file_source(path_) : memory_source(once_, path_);
}

std::size_t InputBytes::size_hint(Compression compression) const {
    const std::size_t size = regular_ ? file_size_ : once_.size();
    // Compressed text is taken to be four times its size, so that it is
    // allocated once rather than copied through every doubling.
    return compression == Compression::gzip ? size * 4 : size + 1;
}

}  // namespace callfold::unifier
