// A growable byte buffer that is filled in place (no zeroing on growth), for
// decompressing and decoding straight into the memory lines are read from.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>

namespace callfold {

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
            std::unique_ptr<char[]> grown(new char[capacity]);
            if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
            data_ = std::move(grown);
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
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace callfold
