// Web archives made in tests: HTTP responses, WARC records around them, and gzip members, so
// that archives of any shape (damaged ones too) can be written next to the test.
#pragma once

#include <zlib.h>

#include <string>
#include <string_view>
#include <vector>

namespace gridmint::testing {

inline std::string httpResponse(std::string_view contentType, std::string_view body,
                                bool chunked = false) {
    std::string message = "HTTP/1.1 200 OK\r\n";
    if (!contentType.empty()) message += "Content-Type: " + std::string(contentType) + "\r\n";
    if (!chunked) {
        message += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
        return message.append(body);
    }
    message += "Transfer-Encoding: chunked\r\n\r\n";
    // Chunks of 7 bytes, so that a chunk border falls inside tags and characters.
    for (size_t at = 0; at < body.size(); at += 7) {
        const std::string_view chunk = body.substr(at, 7);
        char size[16];
        std::snprintf(size, sizeof size, "%zx", chunk.size());
        message += std::string(size) + ";ext=1\r\n";
        message.append(chunk);
        message += "\r\n";
    }
    return message + "0\r\n\r\n";
}

inline std::string warcRecord(std::string_view type, std::string_view uri, std::string_view block) {
    std::string record = "WARC/1.0\r\nWARC-Type: " + std::string(type) + "\r\n";
    if (!uri.empty()) record += "WARC-Target-URI: " + std::string(uri) + "\r\n";
    record += "Content-Type: application/http; msgtype=response\r\n";
    record += "Content-Length: " + std::to_string(block.size()) + "\r\n\r\n";
    record.append(block);
    return record + "\r\n\r\n";
}

// `bytes` as one gzip member.
inline std::string gzipMember(std::string_view bytes) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

// The records back to back, or each in its own gzip member.
inline std::string archiveOf(const std::vector<std::string>& records, bool gzip) {
    std::string archive;
    for (const std::string& record : records) archive += gzip ? gzipMember(record) : record;
    return archive;
}

}  // namespace gridmint::testing
