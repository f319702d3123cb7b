// A run of bytes that its owner promises can be read a whole block past its end: the
// `readablePastEnd` bytes after the last one are allocated and initialised. A reader may then
// load 16 bytes at any position inside the run, and mask off what lies beyond `size`, instead
// of stepping through a short tail byte by byte. What those extra bytes hold is unspecified;
// they never change a result.
#pragma once

#include <cstddef>
#include <string_view>

namespace gridmint {

class PaddedBytes {
  public:
    static constexpr std::size_t readablePastEnd = 16;

    // The caller vouches that data[0, size + readablePastEnd) may be read.
    static constexpr PaddedBytes withReadableTail(const char* data, std::size_t size) {
        return PaddedBytes(data, size);
    }

    constexpr const char* data() const { return data_; }
    constexpr std::size_t size() const { return size_; }
    constexpr bool empty() const { return size_ == 0; }
    // A part of the run, `count` bytes from `position`: everything after it up to the end of
    // the run's tail may be read, so it has a readable tail too.
    constexpr PaddedBytes substr(std::size_t position, std::size_t count) const {
        return PaddedBytes(data_ + position, count);
    }
    // The run itself, without the readable tail.
    constexpr std::string_view view() const { return std::string_view(data_, size_); }

  private:
    constexpr PaddedBytes(const char* data, std::size_t size) : data_(data), size_(size) {}

    const char* data_;
    std::size_t size_;
};

}  // namespace gridmint
