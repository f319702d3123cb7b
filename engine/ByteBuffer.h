// The bytes of one document, owned by whoever holds the buffer: either a heap copy or a
// read-only mapping of a file, which saves copying (and touching) a large page.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace gridmint {

class ByteBuffer {
  public:
    ByteBuffer() = default;
    // Takes the bytes of `bytes` without copying them.
    explicit ByteBuffer(std::string bytes);
    static ByteBuffer copyOf(std::string_view bytes);

    // Maps the file at `path` read-only (an empty file gives an empty buffer). On failure
    // returns false and sets `errorNumber` to the errno of the failed call.
    static bool mapFile(const std::string& path, ByteBuffer& out, int& errorNumber);

    ByteBuffer(ByteBuffer&&) noexcept = default;
    ByteBuffer& operator=(ByteBuffer&&) noexcept = default;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    const char* data() const { return view_.data(); }
    size_t size() const { return view_.size(); }
    bool empty() const { return view_.empty(); }
    std::string_view view() const { return view_; }

    // Says that the bytes before `offset` will not be read again soon. A mapped file gives
    // their memory back to the system (reading them again brings them back from the file), so
    // a forward scan of a large file holds only a window of it; a heap copy keeps its bytes.
    void releaseMemoryBefore(size_t offset) const {
        if (storage_) storage_->releaseMemoryBefore(offset);
    }

  private:
    struct Storage {
        virtual ~Storage() = default;
        virtual void releaseMemoryBefore(size_t) {}
    };
    struct HeapStorage;
    struct MappedStorage;

    std::unique_ptr<Storage> storage_;
    std::string_view view_;
};

}  // namespace gridmint
