#include "UrlRoute.h"

#include "AddressNormaliser.h"
#include "CurlFetcher.h"
#include "Log.h"
#include "ResponseCharset.h"
#include "SkippedTypes.h"
#include "UrlBuilder.h"
#include "Version.h"

namespace gridmint {

namespace {

void logIfVerbose(const Defaults& defaults, std::string_view message) {
    if (defaults.integerForKey(defaultsKey::verbosity) > 0) logLine(message);
}

bool mentionsHtml(std::string_view contentType) {
    constexpr std::string_view html = "html";
    for (size_t i = 0; i + html.size() <= contentType.size(); ++i) {
        size_t k = 0;
        while (k < html.size() && (contentType[i + k] | 0x20) == html[k]) ++k;
        if (k == html.size()) return true;
    }
    return false;
}

UrlFailure failureFor(FetchError error) {
    switch (error) {
        case FetchError::timedOut: return UrlFailure::timedOut;
        case FetchError::reset: return UrlFailure::connectionReset;
        case FetchError::cutShort: return UrlFailure::cutShort;
        case FetchError::malformed: return UrlFailure::malformedResponse;
        case FetchError::tooManyRedirects: return UrlFailure::tooManyRedirects;
        case FetchError::badCertificate: return UrlFailure::certificate;
        case FetchError::tooLarge: return UrlFailure::tooLarge;
        case FetchError::cancelled: return UrlFailure::cancelled;
        case FetchError::none:
        case FetchError::badAddress:
        case FetchError::unsupportedScheme:
        case FetchError::hostNotFound:
        case FetchError::refused:
        case FetchError::notFound:
        case FetchError::insecure:
        case FetchError::other: break;
    }
    return UrlFailure::noResponse;
}

std::unique_ptr<HTMLTableParser> fail(UrlLoadReport& report, UrlFailure failure) {
    report.failure = failure;
    return nullptr;
}

}  // namespace

std::string defaultUserAgent() {
    return std::string("Gridmint/") + GRIDMINT_VERSION;
}

std::unique_ptr<HTMLTableParser> initWithUrl(std::u16string_view typed, const Defaults& defaults,
                                             Fetcher& fetcher, const FetchOptions& options,
                                             UrlLoadReport* reportOut) {
    UrlLoadReport ignored;
    UrlLoadReport& report = reportOut ? *reportOut : ignored;
    report = UrlLoadReport{};
    const std::string userAgent =
        defaults.stringForKey(defaultsKey::userAgent).value_or(defaultUserAgent());

    report.address = normaliseAddress(typed, homeDirectory());
    if (isSkippedType(report.address)) return fail(report, UrlFailure::skippedType);

    std::string noParser;
    auto url = buildUrl(report.address, &noParser);
    if (!url && !noParser.empty()) {
        // Without libcurl nothing can be fetched either: said as the fetcher would say it.
        report.detail = noParser;
        return fail(report, UrlFailure::noResponse);
    }
    if (!url) {
        logIfVerbose(defaults, "url is badly formed");
        return fail(report, UrlFailure::badlyFormed);
    }
    report.url = *url;

    FetchResult response = fetcher.fetch(report.url, userAgent, options);
    report.httpStatus = response.status;
    report.pageUrl = response.finalUrl.empty() ? report.url : response.finalUrl;
    if (!response.gotBody) {
        report.detail = response.errorMessage;
        if (response.error == FetchError::tooLarge) {
            logIfVerbose(defaults, "can't load " + report.address + ": " + report.detail);
        }
        return fail(report, failureFor(response.error));
    }

    return parserFromResponse(std::move(response), defaults, report);
}

std::unique_ptr<HTMLTableParser> parserFromResponse(FetchResult response, const Defaults& defaults,
                                                    UrlLoadReport& report) {
    // A file carries no header fields; an HTTP response must say that it is HTML. An error
    // status is no reason to stop: a 404 page served as HTML is scanned like any other.
    if (response.isHttp) {
        if (!response.contentType) {
            logIfVerbose(defaults, "can't establish content type for " + report.address);
            return fail(report, UrlFailure::noContentType);
        }
        if (!mentionsHtml(*response.contentType)) {
            report.detail = *response.contentType;
            return fail(report, UrlFailure::notHtml);
        }
    }

    if (response.contentType) {
        if (const auto charset = charsetParameter(*response.contentType))
            report.charset = std::string(*charset);
    }
    const TextEncoding encoding = detectResponseEncoding(response.contentType, response.body);
    auto parser =
        HTMLTableParser::initWithData(ByteBuffer(std::move(response.body)), encoding, defaults);
    if (!parser) return fail(report, UrlFailure::emptyBody);
    return parser;
}

std::unique_ptr<HTMLTableParser> initWithUrl(std::u16string_view typed, const Defaults& defaults,
                                             UrlLoadReport* report) {
    CurlFetcher fetcher;
    return initWithUrl(typed, defaults, fetcher, FetchOptions{}, report);
}

std::string describeFailure(const UrlLoadReport& report) {
    auto withDetail = [&report](std::string text) {
        return report.detail.empty() ? text : text + " (" + report.detail + ")";
    };
    switch (report.failure) {
        case UrlFailure::none: return {};
        case UrlFailure::skippedType:
            return "not a page: documents, media and archives are skipped";
        case UrlFailure::badlyFormed: return "the address is badly formed";
        case UrlFailure::noResponse: return withDetail("no response");
        case UrlFailure::timedOut: return withDetail("timed out");
        case UrlFailure::connectionReset: return withDetail("the connection was reset");
        case UrlFailure::cutShort:
            return withDetail("the connection closed before the whole page arrived");
        case UrlFailure::malformedResponse: return withDetail("malformed response");
        case UrlFailure::tooManyRedirects: return withDetail("too many redirects");
        case UrlFailure::certificate: return withDetail("certificate not accepted");
        case UrlFailure::tooLarge: return withDetail("the page is too large");
        case UrlFailure::cancelled: return "cancelled";
        case UrlFailure::noContentType:
            return "the server did not say what it sent (no Content-Type)";
        case UrlFailure::notHtml: return "not an HTML page (Content-Type: " + report.detail + ")";
        case UrlFailure::emptyBody: return "the page is empty";
    }
    return {};
}

}  // namespace gridmint
