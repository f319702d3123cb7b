// An HTTP response as a web archive records it, bytes as they came over the wire: the status
// line, the header fields and the body, which may be sent in chunks or compressed. Turned
// into the FetchResult that the address route reads, so an archived page is read exactly as
// a fetched one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "Fetcher.h"

namespace gridmint {

enum class RecordedResponseStatus {
    ok,
    notHttp,    // the bytes do not begin with an HTTP status line
    malformed,  // the header never ends, or the chunks or compression are broken
    tooLarge,   // the body, once decoded, would exceed the bound
};

struct RecordedResponse {
    RecordedResponseStatus status = RecordedResponseStatus::ok;
    FetchResult response;  // complete when status is ok
    std::string problem;   // for people, when status is malformed or tooLarge
};

// The value of header field `name` (any case) in `header`, the header block with its line
// ends; the first such field, trimmed; nothing when absent.
std::optional<std::string_view> headerField(std::string_view header, std::string_view name);

// Reads `message`; a body longer than `maxBodyBytes` once decoded is refused.
RecordedResponse readRecordedResponse(std::string message, size_t maxBodyBytes);

// Decodes an HTTP chunked body in place; false when its chunks are broken.
bool decodeChunkedBody(std::string& body);

}  // namespace gridmint
