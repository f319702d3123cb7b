// The bytes of the cell being collected. Text arrives mostly in short runs (a word or two
// between tags), so appending is kept to a bounds check and one copy: the buffer keeps 16
// spare bytes, and a run of at most 16 bytes whose source has 16 readable bytes is copied as
// one block. The spare bytes also let the decoder read the cell in 16-byte blocks: what is not
// copied into new memory is zeroed, so every byte up to the capacity is initialised.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>

#include "PaddedBytes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gridmint {

class CellTextBuffer {
  public:
    static constexpr size_t blockSize = 16;
    static_assert(blockSize >= PaddedBytes::readablePastEnd);

    const char* data() const { return bytes_.get(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    char back() const { return bytes_[size_ - 1]; }
    void clear() { size_ = 0; }

    // The bytes collected, with the spare block after them readable.
    PaddedBytes padded() const {
        static constexpr char emptyBlock[blockSize] = {};
        return PaddedBytes::withReadableTail(bytes_ ? bytes_.get() : emptyBlock, size_);
    }

    void push_back(char byte) {
        reserveFor(1);
        bytes_[size_++] = byte;
    }

    // Appends `count` bytes from `source`; `readable` bytes from `source` may be read.
    void append(const char* source, size_t count, size_t readable) {
        reserveFor(count);
#if defined(__SSE2__)
        if (count <= blockSize && readable >= blockSize) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes_.get() + size_),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(source)));
            size_ += count;
            return;
        }
#else
        (void)readable;
#endif
        std::memcpy(bytes_.get() + size_, source, count);
        size_ += count;
    }

  private:
    // Makes room for `count` more bytes plus a spare block.
    void reserveFor(size_t count) {
        if (size_ + count + blockSize <= capacity_) return;
        size_t capacity = capacity_ < 256 ? 256 : capacity_;
        while (capacity < size_ + count + blockSize) capacity *= 2;
        auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
        if (size_ > 0) std::memcpy(bytes.get(), bytes_.get(), size_);
        std::memset(bytes.get() + size_, 0, capacity - size_);
        bytes_ = std::move(bytes);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> bytes_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace gridmint
