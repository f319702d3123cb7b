#include "GzipMembers.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace gridmint {

namespace {

constexpr std::string_view gzipMagic = "\x1f\x8b\x08";
// zlib's window bits: 15 with 16 added reads gzip only, with 32 added gzip or zlib.
constexpr int gzipOnly = 15 + 16;
constexpr int gzipOrZlib = 15 + 32;
// zlib counts its input and output in 32-bit numbers.
constexpr size_t maxStep = std::numeric_limits<uInt>::max() / 2;

Bytef* inputPointer(const char* p) {
    return reinterpret_cast<Bytef*>(const_cast<char*>(p));
}

}  // namespace

struct GzipMemberReader::Stream {
    z_stream z{};
    bool initialised = false;
    ~Stream() {
        if (initialised) inflateEnd(&z);
    }
};

bool startsLikeGzip(std::string_view bytes) {
    return bytes.starts_with(gzipMagic);
}

GzipMemberReader::GzipMemberReader(std::string_view compressed)
    : stream_(std::make_unique<Stream>()), compressed_(compressed) {}

GzipMemberReader::~GzipMemberReader() = default;

bool GzipMemberReader::startMember(uint64_t offset) {
    position_ = offset;
    memberOffset_ = offset;
    if (offset >= compressed_.size()) return false;
    Stream& s = *stream_;
    if (!s.initialised) {
        if (inflateInit2(&s.z, gzipOnly) != Z_OK) return false;
        s.initialised = true;
    } else if (inflateReset(&s.z) != Z_OK) {
        return false;
    }
    inMember_ = true;
    memberStarts_.emplace_back(produced_, offset);
    return true;
}

GzipMemberReader::Status GzipMemberReader::read(std::string& out, size_t maxBytes) {
    if (!inMember_) {
        // Bytes after the last member that are only padding end the stream quietly.
        if (position_ >= compressed_.size()) return Status::end;
        if (!startMember(position_)) return Status::end;
    }
    z_stream& z = stream_->z;
    const size_t before = out.size();
    out.resize(before + std::min(maxBytes, maxStep));
    z.next_in = inputPointer(compressed_.data() + position_);
    z.avail_in = static_cast<uInt>(std::min<uint64_t>(compressed_.size() - position_, maxStep));
    z.next_out = reinterpret_cast<Bytef*>(out.data() + before);
    z.avail_out = static_cast<uInt>(out.size() - before);
    const int result = inflate(&z, Z_NO_FLUSH);
    const size_t written = out.size() - before - z.avail_out;
    out.resize(before + written);
    produced_ += written;
    position_ =
        static_cast<uint64_t>(reinterpret_cast<const char*>(z.next_in) - compressed_.data());
    if (result == Z_STREAM_END) {
        inMember_ = false;
        return Status::data;
    }
    if (result == Z_OK) return Status::data;
    if (result == Z_BUF_ERROR && written > 0) return Status::data;
    // Z_BUF_ERROR with nothing written means the input ended inside the member.
    return Status::damaged;
}

uint64_t GzipMemberReader::memberOffsetAt(uint64_t position) {
    size_t keep = 0;
    while (keep + 1 < memberStarts_.size() && memberStarts_[keep + 1].first <= position) ++keep;
    memberStarts_.erase(memberStarts_.begin(), memberStarts_.begin() + static_cast<long>(keep));
    return memberStarts_.empty() ? position_ : memberStarts_.front().second;
}

void GzipMemberReader::resync() {
    inMember_ = false;
    memberStarts_.clear();
    const size_t next = compressed_.find(gzipMagic, static_cast<size_t>(memberOffset_) + 1);
    position_ = next == std::string_view::npos ? compressed_.size() : next;
}

void GzipMemberReader::startAt(uint64_t offset) {
    inMember_ = false;
    memberStarts_.clear();
    position_ = std::min<uint64_t>(offset, compressed_.size());
    memberOffset_ = position_;
}

namespace {

// Whether a member header found at the start of `member` begins a real member: its data
// inflates to a WARC version line, or inflates whole with its check sums right. Compressed
// data that happens to hold the header's bytes passes neither.
bool beginsRealMember(std::string_view member) {
    z_stream z{};
    if (inflateInit2(&z, gzipOnly) != Z_OK) return false;
    char scratch[64 * 1024];
    std::string start;
    int result = Z_OK;
    z.next_in = inputPointer(member.data());
    z.avail_in = static_cast<uInt>(std::min(member.size(), maxStep));
    while (result == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(scratch);
        z.avail_out = sizeof scratch;
        result = inflate(&z, Z_NO_FLUSH);
        const size_t written = sizeof scratch - z.avail_out;
        if (start.size() < 5) start.append(scratch, std::min<size_t>(written, 5 - start.size()));
        if (start.size() == 5 && start == "WARC/") break;
        if (result == Z_BUF_ERROR && written > 0) result = Z_OK;
    }
    inflateEnd(&z);
    return start == "WARC/" || result == Z_STREAM_END;
}

}  // namespace

uint64_t nextWholeMember(std::string_view compressed, uint64_t from) {
    size_t at = static_cast<size_t>(std::min<uint64_t>(from, compressed.size()));
    while ((at = compressed.find(gzipMagic, at)) != std::string_view::npos) {
        if (beginsRealMember(compressed.substr(at))) return at;
        ++at;
    }
    return compressed.size();
}

InflateResult inflateBody(std::string_view compressed, size_t maxBytes, std::string& out) {
    out.clear();
    z_stream z{};
    if (inflateInit2(&z, gzipOrZlib) != Z_OK) return InflateResult::damaged;
    InflateResult verdict = InflateResult::damaged;
    z.next_in = inputPointer(compressed.data());
    z.avail_in = static_cast<uInt>(std::min(compressed.size(), maxStep));
    for (;;) {
        // Once the bound is reached, one more byte of room tells a stream that ends there
        // from one that would go on.
        const size_t room =
            std::min({maxBytes - out.size(), maxStep, std::max<size_t>(out.size(), 65536)});
        char probe = 0;
        const size_t before = out.size();
        if (room == 0) {
            z.next_out = reinterpret_cast<Bytef*>(&probe);
            z.avail_out = 1;
        } else {
            out.resize(before + room);
            z.next_out = reinterpret_cast<Bytef*>(out.data() + before);
            z.avail_out = static_cast<uInt>(room);
        }
        const int result = inflate(&z, Z_NO_FLUSH);
        if (room == 0 && z.avail_out == 0) {
            verdict = InflateResult::tooLarge;
            break;
        }
        if (room > 0) out.resize(out.size() - z.avail_out);
        if (result == Z_STREAM_END) {
            verdict = InflateResult::ok;
            break;
        }
        if (result != Z_OK) break;
    }
    inflateEnd(&z);
    if (verdict != InflateResult::ok) out.clear();
    return verdict;
}

}  // namespace gridmint
