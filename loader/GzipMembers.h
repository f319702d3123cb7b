// Reading gzip data with zlib, the only file that uses it: the members of a gzip file one
// after another as one stream (a web archive compresses each record as its own member), and
// a whole compressed HTTP body. Both stop at a bound on their output, so no compressed input,
// however small, can make them hold more than the caller allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gridmint {

class GzipMemberReader {
  public:
    enum class Status {
        data,     // some bytes were appended (none, at the border of two members)
        end,      // no member is left
        damaged,  // the member that began at memberOffset() is broken; call resync()
    };

    // Reads `compressed`, which must outlive the reader.
    explicit GzipMemberReader(std::string_view compressed);
    ~GzipMemberReader();
    GzipMemberReader(const GzipMemberReader&) = delete;
    GzipMemberReader& operator=(const GzipMemberReader&) = delete;

    // Appends up to `maxBytes` decompressed bytes to `out`.
    Status read(std::string& out, size_t maxBytes);
    // Where the member being read (or the one that broke) begins in the compressed bytes.
    uint64_t memberOffset() const { return memberOffset_; }
    // How many compressed bytes have been read so far.
    uint64_t compressedPosition() const { return position_; }
    // The compressed offset of the member that holds decompressed byte `position`; members
    // that began before it are forgotten, so positions must be asked in rising order.
    uint64_t memberOffsetAt(uint64_t position);
    // Leaves the current member and goes on at the next member header after its start.
    void resync();
    // Goes on at `offset`, where a member begins (or the end).
    void startAt(uint64_t offset);

  private:
    bool startMember(uint64_t offset);

    struct Stream;
    std::unique_ptr<Stream> stream_;
    std::string_view compressed_;
    uint64_t position_ = 0;
    uint64_t memberOffset_ = 0;
    uint64_t produced_ = 0;  // decompressed bytes handed out
    bool inMember_ = false;
    // (decompressed position, compressed offset) where each remembered member began.
    std::vector<std::pair<uint64_t, uint64_t>> memberStarts_;
};

enum class InflateResult { ok, tooLarge, damaged };

// Decompresses a whole gzip or zlib body into `out`, refusing to write more than `maxBytes`.
InflateResult inflateBody(std::string_view compressed, size_t maxBytes, std::string& out);

// The offset of the first gzip member at or after `from` that begins a WARC record or
// inflates whole, its check sums right (so a member header's bytes met inside compressed data
// are not taken for one); the size of `compressed` when there is none.
uint64_t nextWholeMember(std::string_view compressed, uint64_t from);

// Whether `bytes` begin as a gzip member does.
bool startsLikeGzip(std::string_view bytes);

}  // namespace gridmint
