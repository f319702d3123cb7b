#include "ByteBuffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace gridmint {

struct ByteBuffer::HeapStorage : Storage {
    explicit HeapStorage(std::string b) : bytes(std::move(b)) {}
    std::string bytes;
};

struct ByteBuffer::MappedStorage : Storage {
    MappedStorage(void* a, size_t l) : address(a), length(l) {}
    ~MappedStorage() override { munmap(address, length); }
    MappedStorage(const MappedStorage&) = delete;
    MappedStorage& operator=(const MappedStorage&) = delete;

    void releaseMemoryBefore(size_t offset) override {
#if defined(MADV_DONTNEED)
        static const size_t pageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t end = std::min(offset, length) / pageSize * pageSize;
        if (end <= released) return;
        // The mapping is read-only, so dropping its pages loses nothing.
        madvise(static_cast<char*>(address) + released, end - released, MADV_DONTNEED);
        released = end;
#else
        (void)offset;
#endif
    }

    void* address;
    size_t length;
    size_t released = 0;  // pages before this offset have been given back
};

ByteBuffer::ByteBuffer(std::string bytes) {
    auto heap = std::make_unique<HeapStorage>(std::move(bytes));
    view_ = heap->bytes;
    storage_ = std::move(heap);
}

ByteBuffer ByteBuffer::copyOf(std::string_view bytes) {
    return ByteBuffer(std::string(bytes));
}

bool ByteBuffer::mapFile(const std::string& path, ByteBuffer& out, int& errorNumber) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        errorNumber = errno;
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        errorNumber = errno;
        close(fd);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        close(fd);
        errorNumber = EISDIR;
        return false;
    }
    const auto length = static_cast<size_t>(info.st_size);
    if (!S_ISREG(info.st_mode) || length == 0) {
        // Pipes and special files cannot be mapped; read them instead.
        std::string bytes;
        char chunk[65536];
        for (;;) {
            const ssize_t n = read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                errorNumber = errno;
                close(fd);
                return false;
            }
            if (n == 0) break;
            bytes.append(chunk, static_cast<size_t>(n));
        }
        close(fd);
        out = ByteBuffer(std::move(bytes));
        return true;
    }
    void* address = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    const int mapError = errno;
    close(fd);
    if (address == MAP_FAILED) {
        errorNumber = mapError;
        return false;
    }
    madvise(address, length, MADV_SEQUENTIAL);
    out.storage_ = std::make_unique<MappedStorage>(address, length);
    out.view_ = std::string_view(static_cast<const char*>(address), length);
    return true;
}

}  // namespace gridmint
