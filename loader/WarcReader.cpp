// A record: a version line ("WARC/1.0"), header fields up to an empty line, a block of
// Content-Length bytes, and two line ends. Damage of three kinds is met: compressed data
// that does not inflate (skipped to the next gzip member), a record that does not begin with
// a version line or lacks a usable Content-Length (skipped to the next gzip member, or in a
// plain archive to the next version line), and an archive that ends inside a record.
#include "WarcReader.h"

#include <algorithm>
#include <charconv>

#include "GzipMembers.h"
#include "RecordedResponse.h"

namespace gridmint {

namespace {

constexpr size_t pullSize = 256 * 1024;
constexpr size_t maxLineBytes = 64 * 1024;
constexpr size_t maxHeaderBytes = 1024 * 1024;

std::optional<uint64_t> parseLength(std::string_view text) {
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

// Some archives write the address in angle brackets.
std::string unbracketed(std::string_view uri) {
    if (uri.size() >= 2 && uri.front() == '<' && uri.back() == '>') {
        uri = uri.substr(1, uri.size() - 2);
    }
    return std::string(uri);
}

}  // namespace

WarcReader::WarcReader(ByteBuffer archive, size_t maxBlockBytes, Warn warn, WarcRange range)
    : archive_(std::move(archive)),
      maxBlockBytes_(maxBlockBytes),
      warn_(std::move(warn)),
      range_(range) {
    if (startsLikeGzip(archive_.view())) {
        gzip_ = std::make_unique<GzipMemberReader>(archive_.view());
        if (range_.begin > 0) gzip_->startAt(nextWholeMember(archive_.view(), range_.begin));
    }
}

void WarcReader::warnAt(uint64_t offset, const std::string& message) {
    if (inRange(offset)) warn_("record at offset " + std::to_string(offset) + message);
}

WarcReader::~WarcReader() = default;

uint64_t WarcReader::bytesRead() const {
    return gzip_ ? gzip_->compressedPosition() : plainRead_;
}

uint64_t WarcReader::offsetOf(uint64_t position) {
    return gzip_ ? gzip_->memberOffsetAt(position) : position;
}

WarcReader::Got WarcReader::fill(size_t wanted) {
    while (buffer_.size() - unread_ < wanted) {
        if (unread_ > 0 && unread_ * 2 >= buffer_.size()) {
            buffer_.erase(0, unread_);
            unread_ = 0;
        }
        const size_t before = buffer_.size();
        if (gzip_) {
            const GzipMemberReader::Status status = gzip_->read(buffer_, pullSize);
            if (status == GzipMemberReader::Status::end) return Got::end;
            if (status == GzipMemberReader::Status::damaged) {
                // Past the range, the next reader's records begin.
                if (gzip_->memberOffset() >= range_.end) return Got::end;
                const bool cut = gzip_->compressedPosition() >= archive_.size();
                warnAt(gzip_->memberOffset(), cut ? ": the archive ends inside it; skipped"
                                                  : ": its compressed data is damaged; skipped");
                gzip_->resync();
                pulled_ += buffer_.size() - before;
                buffer_.clear();
                unread_ = 0;
                return Got::broken;
            }
        } else {
            const size_t take = std::min<uint64_t>(pullSize, archive_.size() - plainRead_);
            if (take == 0) return Got::end;
            buffer_.append(archive_.data() + plainRead_, take);
            plainRead_ += take;
        }
        pulled_ += buffer_.size() - before;
        archive_.releaseMemoryBefore(static_cast<size_t>(bytesRead()));
    }
    return Got::ok;
}

WarcReader::Got WarcReader::readLine(std::string_view& line) {
    size_t searched = unread_;
    for (;;) {
        const size_t end = buffer_.find('\n', searched);
        if (end != std::string::npos) {
            line = std::string_view(buffer_).substr(unread_, end - unread_);
            if (line.ends_with('\r')) line.remove_suffix(1);
            unread_ = end + 1;
            return Got::ok;
        }
        const size_t available = buffer_.size() - unread_;
        if (available >= maxLineBytes) {
            unread_ = buffer_.size();
            return Got::broken;
        }
        searched = buffer_.size();
        const size_t oldUnread = unread_;
        const Got got = fill(available + 1);
        searched -= oldUnread - unread_;  // the buffer may have moved its bytes forward
        if (got != Got::ok) return got;
    }
}

WarcReader::Got WarcReader::skipBlankLines() {
    for (;;) {
        if (unread_ == buffer_.size()) {
            if (const Got got = fill(1); got != Got::ok) return got;
        }
        const char c = buffer_[unread_];
        if (c != '\r' && c != '\n') return Got::ok;
        ++unread_;
    }
}

WarcReader::Got WarcReader::readBlock(uint64_t length, std::string* keep) {
    if (keep) {
        keep->clear();
        keep->reserve(static_cast<size_t>(length));
    } else if (!gzip_) {
        // A plain archive's block that is not kept is stepped over without being read.
        const size_t buffered =
            static_cast<size_t>(std::min<uint64_t>(length, buffer_.size() - unread_));
        unread_ += buffered;
        length -= buffered;
        if (length == 0) return Got::ok;
        buffer_.clear();
        unread_ = 0;
        const uint64_t skipped = std::min<uint64_t>(length, archive_.size() - plainRead_);
        plainRead_ += skipped;
        pulled_ += skipped;
        return skipped == length ? Got::ok : Got::end;
    }
    while (length > 0) {
        if (unread_ == buffer_.size()) {
            if (const Got got = fill(1); got != Got::ok) return got;
        }
        const size_t take =
            static_cast<size_t>(std::min<uint64_t>(length, buffer_.size() - unread_));
        if (keep) keep->append(buffer_, unread_, take);
        unread_ += take;
        length -= take;
    }
    return Got::ok;
}

void WarcReader::damagedRecord(uint64_t offset, const std::string& why) {
    warnAt(offset, ": " + why + "; skipped");
    if (gzip_) {
        gzip_->resync();
        buffer_.clear();
        unread_ = 0;
    } else {
        resyncing_ = true;
    }
}

std::optional<WarcRecord> WarcReader::nextResponse() {
    for (;;) {
        Got got = skipBlankLines();
        if (got == Got::end) return std::nullopt;
        if (got == Got::broken) continue;
        const uint64_t offset = offsetOf(streamPosition());
        if (offset >= range_.end) return std::nullopt;
        auto cutShort = [&] {
            warnAt(offset, ": the archive ends inside it; skipped");
            return std::nullopt;
        };

        std::string_view line;
        got = readLine(line);
        if (got == Got::end) return cutShort();
        if (got == Got::broken) {
            if (!resyncing_) damagedRecord(offset, "a line is too long");
            continue;
        }
        if (!line.starts_with("WARC/")) {
            if (!resyncing_) damagedRecord(offset, "it does not begin with a WARC version line");
            continue;
        }
        resyncing_ = false;

        // The version line and the fields, as one header block for headerField.
        std::string header(line);
        header += '\n';
        for (;;) {
            got = readLine(line);
            if (got != Got::ok || line.empty() || header.size() > maxHeaderBytes) break;
            header.append(line);
            header += '\n';
        }
        if (got == Got::end) return cutShort();
        if (got == Got::broken) continue;
        if (header.size() > maxHeaderBytes) {
            damagedRecord(offset, "its header is too long");
            continue;
        }
        const auto length = parseLength(headerField(header, "Content-Length").value_or(""));
        if (!length) {
            damagedRecord(offset, "it has no valid Content-Length");
            continue;
        }
        const bool response =
            equalsIgnoringCase(headerField(header, "WARC-Type").value_or(""), "response");
        WarcRecord record;
        record.offset = offset;
        record.targetUri = unbracketed(headerField(header, "WARC-Target-URI").value_or(""));
        const bool wanted = response && inRange(offset);
        const bool kept = wanted && *length <= maxBlockBytes_;
        if (wanted && !kept) {
            warnAt(offset, " (" + record.targetUri + "): larger than the limit of " +
                               std::to_string(maxBlockBytes_) + " bytes; skipped");
        }
        got = readBlock(*length, kept ? &record.block : nullptr);
        if (got == Got::end) return cutShort();
        if (got == Got::broken) continue;
        if (kept) return record;
    }
}

}  // namespace gridmint
