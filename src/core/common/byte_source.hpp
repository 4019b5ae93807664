// Where a reader's bytes come from: an open file, or bytes already in memory
// (an input that cannot be read twice, such as a pipe, is read once and then
// decoded from memory). A few leading bytes can be looked at before reading.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "common/system_io.hpp"

namespace callfold {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes; 0 at the end. Throws SystemCallFailed.
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
    // The name used in errors.
    virtual const std::string& name() const = 0;
};

// Opens `path` for reading; SystemCallFailed when it cannot be opened or is a directory.
std::unique_ptr<ByteSource> open_file_source(const std::string& path);

// Reads from `bytes`, which must outlive the source; `name` names them in errors.
std::unique_ptr<ByteSource> memory_source(std::string_view bytes, std::string name);

// Whether `source` starts with the gzip magic number. The bytes looked at are
// read again by later reads.
bool starts_with_gzip_magic(std::unique_ptr<ByteSource>& source);

// Everything `source` holds, read in slices so that an interrupt is noticed.
// An endless source ends in std::bad_alloc.
std::string read_all(ByteSource& source);

// A growable byte buffer that is filled in place (no zeroing on growth), for
// decompressing and decoding straight into the memory lines are read from.

class ByteBuffer {
public:
    char* data() { return data_.get(); }
    const char* data() const { return data_.get(); }
    std::size_t size() const { return size_; }

    // Room for `extra` more bytes after size(); returns where they go.
    char* reserve_tail(std::size_t extra) {
        if (capacity_ - size_ < extra) {
            std::size_t capacity = capacity_ == 0 ? 1 << 16 : capacity_;
            while (capacity - size_ < extra) capacity *= 2;
            // realloc moves a large buffer by remapping its pages: no copy, and
            // never the old and the new buffer resident at once.
            char* grown = static_cast<char*>(std::realloc(data_.get(), capacity));
            if (grown == nullptr) throw std::bad_alloc();
            static_cast<void>(data_.release());
            data_.reset(grown);
            capacity_ = capacity;
        }
        return data_.get() + size_;
    }
    void commit(std::size_t added) { size_ += added; }
    void resize_down(std::size_t size) { size_ = size; }

    // Drops the first `count` bytes, keeping the rest at the front.
    void consume_front(std::size_t count) {
        if (count == 0) return;
        if (count < size_) std::memmove(data_.get(), data_.get() + count, size_ - count);
        size_ -= count < size_ ? count : size_;
    }

private:
    struct Free {
        void operator()(char* bytes) const { std::free(bytes); }
    };
    std::unique_ptr<char, Free> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace callfold
