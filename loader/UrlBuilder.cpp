// The only use of libcurl outside the fetcher: its URL parser (no curl type leaves this file).
#include "UrlBuilder.h"

#include <curl/curl.h>

#include <memory>

namespace gridmint {

namespace {

struct UrlHandleDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlHandleDeleter>;

struct CurlStringDeleter {
    void operator()(char* text) const { curl_free(text); }
};
using CurlString = std::unique_ptr<char, CurlStringDeleter>;

bool isUnsafeAscii(unsigned char c) {
    return c <= 0x20 || c == 0x7F ||
           std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string percentEscape(std::string_view text, bool escapeNonAscii) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (isUnsafeAscii(c) || (escapeNonAscii && c >= 0x80)) {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xF]);
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

std::optional<std::string> getPart(CURLU* handle, CURLUPart part) {
    char* raw = nullptr;
    if (curl_url_get(handle, part, &raw, 0) != CURLUE_OK) return std::nullopt;
    CurlString owned(raw);
    return std::string(owned.get());
}

// The parser keeps raw UTF-8 and a few unsafe characters in the path and query; a request
// must carry them escaped.
bool escapePart(CURLU* handle, CURLUPart part) {
    auto value = getPart(handle, part);
    if (!value) return true;  // the URL has no such part
    const std::string escaped = percentEscape(*value, true);
    return escaped == *value || curl_url_set(handle, part, escaped.c_str(), 0) == CURLUE_OK;
}

std::optional<std::string> parse(const std::string& text) {
    UrlHandle handle(curl_url());
    if (!handle) return std::nullopt;
    // Any well-formed scheme is a URL; whether it can be fetched is the fetcher's question.
    if (curl_url_set(handle.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
        CURLUE_OK) {
        return std::nullopt;
    }
    if (!escapePart(handle.get(), CURLUPART_PATH) || !escapePart(handle.get(), CURLUPART_QUERY)) {
        return std::nullopt;
    }
    return getPart(handle.get(), CURLUPART_URL);
}

}  // namespace

std::string escapeUnsafeAscii(std::string_view text) {
    return percentEscape(text, false);
}

std::optional<std::string> buildUrl(std::string_view address) {
    // Text holding a NUL is no URL as it stands: the parser would stop at the NUL and fetch a
    // shorter address than the one typed.
    if (address.find('\0') == std::string_view::npos) {
        if (auto url = parse(std::string(address))) return url;
    }
    return parse(escapeUnsafeAscii(address));
}

}  // namespace gridmint
