// Reads a web archive (WARC, plain or gzip-compressed member by member) record by record and
// hands over its response records. The archive is read forward once, through a bounded
// buffer: a record's content is held only when it is a response within the size bound, and
// any other record is skipped as it streams by, so an archive of any size, or a compressed
// record of any expansion, is read in bounded memory. A damaged record is reported through
// the warning callback with the offset it starts at, and reading goes on after it.
//
// A reader may be given a range of the archive's bytes: it then hands over only the records
// that start inside it, and warns only about those, so readers of adjacent ranges together
// give each record once, as one reader of the whole archive would. A plain archive's reader
// walks the record headers from the start to find its first record (skipping the blocks
// without reading them); a compressed one starts at the first gzip member in its range that
// begins a record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ByteBuffer.h"

namespace gridmint {

class GzipMemberReader;

struct WarcRecord {
    // Where the record starts in the file: its gzip member's offset in a compressed archive,
    // as archive indexes give it.
    uint64_t offset = 0;
    std::string targetUri;  // WARC-Target-URI
    std::string block;      // the record's content: here an HTTP response
};

// The records of a reader: those whose offset is at least `begin` and below `end`.
struct WarcRange {
    uint64_t begin = 0;
    uint64_t end = UINT64_MAX;
};

class WarcReader {
  public:
    using Warn = std::function<void(const std::string& message)>;

    // Reads `archive`, gzip-compressed when it begins like gzip. A response whose content is
    // longer than `maxBlockBytes` is skipped with a warning.
    WarcReader(ByteBuffer archive, size_t maxBlockBytes, Warn warn, WarcRange range = {});
    ~WarcReader();
    WarcReader(const WarcReader&) = delete;
    WarcReader& operator=(const WarcReader&) = delete;

    // The next response record, or nothing at the archive's end.
    std::optional<WarcRecord> nextResponse();

    // Bytes of the archive file read so far.
    uint64_t bytesRead() const;

  private:
    enum class Got { ok, end, broken };

    Got fill(size_t wanted);
    Got readLine(std::string_view& line);
    Got skipBlankLines();
    Got readBlock(uint64_t length, std::string* keep);
    void damagedRecord(uint64_t offset, const std::string& why);
    void warnAt(uint64_t offset, const std::string& message);
    bool inRange(uint64_t offset) const { return offset >= range_.begin && offset < range_.end; }
    uint64_t streamPosition() const { return pulled_ - (buffer_.size() - unread_); }
    uint64_t offsetOf(uint64_t position);

    ByteBuffer archive_;
    std::unique_ptr<GzipMemberReader> gzip_;  // null for a plain archive
    size_t maxBlockBytes_;
    Warn warn_;
    WarcRange range_;
    std::string buffer_;
    size_t unread_ = 0;       // where the unread part of buffer_ begins
    uint64_t pulled_ = 0;     // bytes of the record stream taken into buffer_ so far
    uint64_t plainRead_ = 0;  // for a plain archive, bytes of the file taken
    bool resyncing_ = false;  // a plain archive after damage: skipping to the next record
};

}  // namespace gridmint
