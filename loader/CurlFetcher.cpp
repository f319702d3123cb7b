// The request: a GET that bypasses caches and reuses no connection, redirects followed (to
// http and https only, so a web page can never make us read a local file), certificates
// checked against the system's store. Three guards keep a transfer from running away: the
// connect timeout, an idle timeout measured from the last byte received (so a slow but
// steady download goes on), and a cap on the body's size enforced while it arrives. libcurl's
// functions come from the library opened at the first fetch; when it cannot be opened, every
// fetch fails with the dynamic loader's reason.
#include "CurlFetcher.h"

#include <cerrno>
#include <memory>
#include <string_view>

#include "CurlLibrary.h"

namespace gridmint {

namespace {

using Clock = std::chrono::steady_clock;

struct EasyDeleter {
    decltype(&::curl_easy_cleanup) cleanup;
    void operator()(CURL* handle) const { cleanup(handle); }
};
struct HeaderListDeleter {
    decltype(&::curl_slist_free_all) freeAll;
    void operator()(curl_slist* list) const { freeAll(list); }
};

// What the callbacks of one transfer share.
struct Transfer {
    const CurlFunctions* curl = nullptr;
    CURL* handle = nullptr;
    const FetchOptions* options = nullptr;
    std::string body;
    Clock::time_point lastByte = Clock::now();
    bool tooLarge = false;
    bool wentIdle = false;
    bool cancelled = false;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const size_t length = size * count;
    transfer.lastByte = Clock::now();
    if (length > transfer.options->maxBodyBytes - transfer.body.size()) {
        transfer.tooLarge = true;
        return 0;  // makes libcurl stop the transfer
    }
    if (transfer.body.empty()) {
        curl_off_t expected = -1;
        transfer.curl->easyGetinfo(transfer.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
        if (expected > 0 && static_cast<size_t>(expected) <= transfer.options->maxBodyBytes) {
            transfer.body.reserve(static_cast<size_t>(expected));
        }
    }
    transfer.body.append(data, length);
    return length;
}

size_t onHeader(char*, size_t size, size_t count, void* user) {
    static_cast<Transfer*>(user)->lastByte = Clock::now();
    return size * count;
}

// Called about once a second while nothing moves, and often while bytes arrive.
int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& transfer = *static_cast<Transfer*>(user);
    if (transfer.options->cancel && transfer.options->cancel->load()) {
        transfer.cancelled = true;
        return 1;
    }
    // Until a connection stands, the connect timeout is the one that governs.
    curl_off_t connectTime = 0;
    transfer.curl->easyGetinfo(transfer.handle, CURLINFO_CONNECT_TIME_T, &connectTime);
    const auto now = Clock::now();
    if (connectTime == 0) {
        transfer.lastByte = now;
    } else if (now - transfer.lastByte >= transfer.options->idleTimeout) {
        transfer.wentIdle = true;
        return 1;
    }
    return 0;
}

// A header value may not hold control characters; a line break would start a header of
// the value's own making.
std::string headerSafe(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) c = ' ';
    }
    return out;
}

std::string describeDuration(std::chrono::milliseconds duration) {
    const auto ms = duration.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

// libcurl's codes that tell the caller something; every other code is FetchError::other.
struct CodeMeaning {
    CURLcode code;
    FetchError error;
};
constexpr CodeMeaning codeMeanings[] = {
    {CURLE_OK, FetchError::none},
    {CURLE_URL_MALFORMAT, FetchError::badAddress},
    {CURLE_UNSUPPORTED_PROTOCOL, FetchError::unsupportedScheme},
    {CURLE_COULDNT_RESOLVE_HOST, FetchError::hostNotFound},
    {CURLE_COULDNT_RESOLVE_PROXY, FetchError::hostNotFound},
    {CURLE_COULDNT_CONNECT, FetchError::refused},
    {CURLE_FILE_COULDNT_READ_FILE, FetchError::notFound},
    {CURLE_OPERATION_TIMEDOUT, FetchError::timedOut},
    {CURLE_PARTIAL_FILE, FetchError::cutShort},
    {CURLE_WEIRD_SERVER_REPLY, FetchError::malformed},
    {CURLE_BAD_CONTENT_ENCODING, FetchError::malformed},
    {CURLE_FILESIZE_EXCEEDED, FetchError::tooLarge},
    {CURLE_TOO_MANY_REDIRECTS, FetchError::tooManyRedirects},
    {CURLE_PEER_FAILED_VERIFICATION, FetchError::badCertificate},
    {CURLE_SSL_CONNECT_ERROR, FetchError::insecure},
    {CURLE_SSL_CERTPROBLEM, FetchError::insecure},
    {CURLE_SSL_CACERT_BADFILE, FetchError::insecure},
};

// libcurl reports a failed read from the socket and a broken chunk framing with the same
// code: the system's error number names a reset, and the message a framing error (its wording
// has stood unchanged in libcurl for many years; anything else stays a plain failure).
FetchError receiveError(const Transfer& transfer, std::string_view message) {
    long osError = 0;
    transfer.curl->easyGetinfo(transfer.handle, CURLINFO_OS_ERRNO, &osError);
    if (osError == ECONNRESET) return FetchError::reset;
    if (message.find("chunked-encoding") != std::string_view::npos) return FetchError::malformed;
    return FetchError::other;
}

FetchError errorFor(CURLcode code, const Transfer& transfer, const char* errorBuffer) {
    // A transfer that our own callbacks stopped says why through the flags.
    if (transfer.tooLarge) return FetchError::tooLarge;
    if (transfer.cancelled) return FetchError::cancelled;
    if (transfer.wentIdle) return FetchError::timedOut;
    if (code == CURLE_RECV_ERROR) return receiveError(transfer, errorBuffer);
    for (const auto& meaning : codeMeanings) {
        if (meaning.code == code) return meaning.error;
    }
    return FetchError::other;
}

std::string messageFor(FetchError error, CURLcode code, const char* errorBuffer,
                       const Transfer& transfer) {
    const FetchOptions& options = *transfer.options;
    switch (error) {
        case FetchError::tooLarge:
            return "the body is larger than " + std::to_string(options.maxBodyBytes) + " bytes";
        case FetchError::cancelled: return "cancelled";
        case FetchError::timedOut:
            if (code == CURLE_ABORTED_BY_CALLBACK) {
                return "no data received for " + describeDuration(options.idleTimeout);
            }
            break;
        case FetchError::none:
        case FetchError::badAddress:
        case FetchError::unsupportedScheme:
        case FetchError::hostNotFound:
        case FetchError::refused:
        case FetchError::notFound:
        case FetchError::reset:
        case FetchError::cutShort:
        case FetchError::malformed:
        case FetchError::tooManyRedirects:
        case FetchError::badCertificate:
        case FetchError::insecure:
        case FetchError::other: break;
    }
    return errorBuffer[0] != '\0' ? errorBuffer : transfer.curl->easyStrerror(code);
}

void setRequestOptions(const Transfer& transfer, const std::string& url,
                       const std::string& userAgent, curl_slist* headers) {
    const auto setopt = transfer.curl->easySetopt;
    CURL* handle = transfer.handle;
    const FetchOptions& options = *transfer.options;
    setopt(handle, CURLOPT_URL, url.c_str());
    setopt(handle, CURLOPT_HTTPGET, 1L);
    setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https,file");
    setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    setopt(handle, CURLOPT_MAXREDIRS, options.maxRedirects);
    setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    setopt(handle, CURLOPT_HTTPHEADER, headers);
    setopt(handle, CURLOPT_USERAGENT, userAgent.c_str());
    setopt(handle, CURLOPT_ACCEPT_ENCODING, "");  // every encoding libcurl decodes
    setopt(handle, CURLOPT_FRESH_CONNECT, 1L);
    setopt(handle, CURLOPT_FORBID_REUSE, 1L);
    setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    setopt(handle, CURLOPT_NOSIGNAL, 1L);  // signals do not mix with threads
    setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout.count()));
    setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBodyBytes));
}

void setCallbacks(Transfer& transfer) {
    const auto setopt = transfer.curl->easySetopt;
    CURL* handle = transfer.handle;
    setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    setopt(handle, CURLOPT_WRITEDATA, &transfer);
    setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
    setopt(handle, CURLOPT_HEADERDATA, &transfer);
    setopt(handle, CURLOPT_XFERINFOFUNCTION, onProgress);
    setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    setopt(handle, CURLOPT_NOPROGRESS, 0L);
}

bool isHttpScheme(const char* scheme) {
    if (scheme == nullptr) return false;
    const std::string_view s(scheme);
    auto is = [&s](std::string_view name) {
        if (s.size() != name.size()) return false;
        for (size_t i = 0; i < s.size(); ++i) {
            if ((s[i] | 0x20) != name[i]) return false;
        }
        return true;
    };
    return is("http") || is("https");
}

}  // namespace

FetchResult CurlFetcher::fetch(const std::string& url, const std::string& userAgent,
                               const FetchOptions& options) {
    FetchResult result;
    const CurlLibrary& library = library_ ? *library_ : CurlLibrary::shared();
    const CurlFunctions* curl = library.functions();
    if (!curl) {
        result.error = FetchError::other;
        result.errorMessage = library.error();
        return result;
    }
    std::unique_ptr<CURL, EasyDeleter> handle(curl->easyInit(), {curl->easyCleanup});
    std::unique_ptr<curl_slist, HeaderListDeleter> headers(
        curl->slistAppend(nullptr, "Cache-Control: no-cache"), {curl->slistFreeAll});
    // A failed append leaves the list as it was; it is freed here rather than lost.
    if (headers && !curl->slistAppend(headers.get(), "Pragma: no-cache")) headers.reset();
    if (!handle || !headers) {
        result.error = FetchError::other;
        result.errorMessage = "the transfer could not be set up";
        return result;
    }

    Transfer transfer;
    transfer.curl = curl;
    transfer.handle = handle.get();
    transfer.options = &options;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const std::string agent = headerSafe(userAgent);
    setRequestOptions(transfer, url, agent, headers.get());
    setCallbacks(transfer);
    curl->easySetopt(handle.get(), CURLOPT_ERRORBUFFER, errorBuffer);

    const CURLcode code = curl->easyPerform(handle.get());
    result.error = errorFor(code, transfer, errorBuffer);
    if (result.error != FetchError::none) {
        result.errorMessage = messageFor(result.error, code, errorBuffer, transfer);
        return result;
    }
    result.gotBody = true;
    result.body = std::move(transfer.body);
    char* scheme = nullptr;
    curl->easyGetinfo(handle.get(), CURLINFO_SCHEME, &scheme);
    result.isHttp = isHttpScheme(scheme);
    char* contentType = nullptr;
    curl->easyGetinfo(handle.get(), CURLINFO_CONTENT_TYPE, &contentType);
    if (contentType) result.contentType = contentType;
    curl->easyGetinfo(handle.get(), CURLINFO_RESPONSE_CODE, &result.status);
    char* finalUrl = nullptr;
    curl->easyGetinfo(handle.get(), CURLINFO_EFFECTIVE_URL, &finalUrl);
    if (finalUrl) result.finalUrl = finalUrl;
    return result;
}

}  // namespace gridmint
