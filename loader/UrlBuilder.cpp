// The only use of libcurl outside the fetcher: its URL parser (no curl type leaves this file),
// from the library opened at first use.
#include "UrlBuilder.h"

#include <memory>

#include "CurlLibrary.h"

namespace gridmint {

namespace {

struct UrlHandleDeleter {
    decltype(&::curl_url_cleanup) cleanup;
    void operator()(CURLU* handle) const { cleanup(handle); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlHandleDeleter>;

struct CurlStringDeleter {
    decltype(&::curl_free) release;
    void operator()(char* text) const { release(text); }
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

std::optional<std::string> getPart(const CurlFunctions& curl, CURLU* handle, CURLUPart part) {
    char* raw = nullptr;
    if (curl.urlGet(handle, part, &raw, 0) != CURLUE_OK) return std::nullopt;
    CurlString owned(raw, {curl.free});
    return std::string(owned.get());
}

// The parser keeps raw UTF-8 and a few unsafe characters in the path and query; a request
// must carry them escaped.
bool escapePart(const CurlFunctions& curl, CURLU* handle, CURLUPart part) {
    auto value = getPart(curl, handle, part);
    if (!value) return true;  // the URL has no such part
    const std::string escaped = percentEscape(*value, true);
    return escaped == *value || curl.urlSet(handle, part, escaped.c_str(), 0) == CURLUE_OK;
}

std::optional<std::string> parse(const CurlFunctions& curl, const std::string& text) {
    UrlHandle handle(curl.url(), {curl.urlCleanup});
    if (!handle) return std::nullopt;
    // Any well-formed scheme is a URL; whether it can be fetched is the fetcher's question.
    if (curl.urlSet(handle.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
        CURLUE_OK) {
        return std::nullopt;
    }
    if (!escapePart(curl, handle.get(), CURLUPART_PATH) ||
        !escapePart(curl, handle.get(), CURLUPART_QUERY)) {
        return std::nullopt;
    }
    return getPart(curl, handle.get(), CURLUPART_URL);
}

}  // namespace

std::string escapeUnsafeAscii(std::string_view text) {
    return percentEscape(text, false);
}

std::optional<std::string> buildUrl(std::string_view address, std::string* noParser) {
    return buildUrl(address, CurlLibrary::shared(), noParser);
}

std::optional<std::string> buildUrl(std::string_view address, const CurlLibrary& library,
                                    std::string* noParser) {
    const CurlFunctions* curl = library.functions();
    if (!curl) {
        if (noParser) *noParser = library.error();
        return std::nullopt;
    }
    // Text holding a NUL is no URL as it stands: the parser would stop at the NUL and fetch a
    // shorter address than the one typed.
    if (address.find('\0') == std::string_view::npos) {
        if (auto url = parse(*curl, std::string(address))) return url;
    }
    return parse(*curl, escapeUnsafeAscii(address));
}

}  // namespace gridmint
