#include "RecordedResponse.h"

#include <charconv>
#include <cstring>

#include "GzipMembers.h"

namespace gridmint {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

bool holdsIgnoringCase(std::string_view text, std::string_view lowerWord) {
    for (size_t i = 0; i + lowerWord.size() <= text.size(); ++i) {
        if (equalsIgnoringCase(text.substr(i, lowerWord.size()), lowerWord)) return true;
    }
    return false;
}

std::string_view trim(std::string_view text) {
    constexpr std::string_view spaces = " \t\r";
    const size_t first = text.find_first_not_of(spaces);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(spaces) - first + 1);
}

// Where the body begins: after the first empty line, whether lines end in CRLF or LF.
size_t bodyStart(std::string_view message) {
    for (size_t i = message.find('\n'); i != std::string_view::npos;
         i = message.find('\n', i + 1)) {
        const size_t next = i + 1;
        if (message.substr(next, 2) == "\r\n") return next + 2;
        if (message.substr(next, 1) == "\n") return next + 1;
    }
    return std::string_view::npos;
}

long statusCode(std::string_view statusLine) {
    const size_t space = statusLine.find(' ');
    if (space == std::string_view::npos) return 0;
    long code = 0;
    const std::string_view digits = statusLine.substr(space + 1, 3);
    std::from_chars(digits.data(), digits.data() + digits.size(), code);
    return code;
}

RecordedResponse refused(RecordedResponseStatus status, std::string problem) {
    RecordedResponse result;
    result.status = status;
    result.problem = std::move(problem);
    return result;
}

}  // namespace

std::optional<std::string_view> headerField(std::string_view header, std::string_view name) {
    size_t lineStart = header.find('\n');  // the status line comes first
    while (lineStart != std::string_view::npos) {
        ++lineStart;
        const size_t lineEnd = header.find('\n', lineStart);
        const std::string_view line =
            header.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos
                                                                       : lineEnd - lineStart);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos &&
            equalsIgnoringCase(trim(line.substr(0, colon)), name))
            return trim(line.substr(colon + 1));
        lineStart = lineEnd;
    }
    return std::nullopt;
}

bool decodeChunkedBody(std::string& body) {
    size_t read = 0, written = 0;
    for (;;) {
        const size_t lineEnd = body.find('\n', read);
        if (lineEnd == std::string::npos) {
            // Chunks that stop at a chunk border without the last, empty one: what came
            // is whole, so it is kept.
            if (trim(std::string_view(body).substr(read)).empty()) break;
            return false;
        }
        std::string_view sizeText = std::string_view(body).substr(read, lineEnd - read);
        sizeText = trim(sizeText.substr(0, sizeText.find(';')));
        size_t size = 0;
        const auto [end, error] =
            std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size, 16);
        if (sizeText.empty() || error != std::errc() || end != sizeText.data() + sizeText.size())
            return false;
        read = lineEnd + 1;
        if (size == 0) break;
        if (size > body.size() - read) return false;
        std::memmove(body.data() + written, body.data() + read, size);
        written += size;
        read += size;
        if (body.compare(read, 2, "\r\n") == 0) {
            read += 2;
        } else if (body.compare(read, 1, "\n") == 0) {
            read += 1;
        } else if (read != body.size()) {
            return false;
        }
    }
    body.resize(written);
    return true;
}

RecordedResponse readRecordedResponse(std::string message, size_t maxBodyBytes) {
    if (!message.starts_with("HTTP/")) return refused(RecordedResponseStatus::notHttp, {});
    const size_t start = bodyStart(message);
    if (start == std::string::npos)
        return refused(RecordedResponseStatus::malformed, "the HTTP header does not end");

    RecordedResponse result;
    FetchResult& response = result.response;
    const std::string_view header = std::string_view(message).substr(0, start);
    response.isHttp = true;
    response.status = statusCode(header.substr(0, header.find('\n')));
    if (const auto type = headerField(header, "Content-Type")) response.contentType = *type;
    const bool chunked =
        holdsIgnoringCase(headerField(header, "Transfer-Encoding").value_or(""), "chunked");
    const std::string_view coding = headerField(header, "Content-Encoding").value_or("");
    const bool compressed =
        holdsIgnoringCase(coding, "gzip") || holdsIgnoringCase(coding, "deflate");

    message.erase(0, start);
    if (chunked && !decodeChunkedBody(message))
        return refused(RecordedResponseStatus::malformed, "its chunked body is broken");
    if (compressed) {
        std::string decoded;
        switch (inflateBody(message, maxBodyBytes, decoded)) {
            case InflateResult::ok: message = std::move(decoded); break;
            case InflateResult::tooLarge:
                return refused(RecordedResponseStatus::tooLarge, "the page is larger than " +
                                                                     std::to_string(maxBodyBytes) +
                                                                     " bytes once decompressed");
            case InflateResult::damaged:
                return refused(RecordedResponseStatus::malformed, "its compressed body is broken");
        }
    }
    if (message.size() > maxBodyBytes) {
        return refused(RecordedResponseStatus::tooLarge,
                       "the page is larger than " + std::to_string(maxBodyBytes) + " bytes");
    }
    response.gotBody = true;
    response.body = std::move(message);
    return result;
}

}  // namespace gridmint
