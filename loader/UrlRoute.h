// The address route: a parser made from what the user typed into an address field, a web
// address or a local path. The page is fetched once; its encoding is chosen from that
// response and the bytes go through the bytes route.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "Defaults.h"
#include "Fetcher.h"
#include "HTMLTableParser.h"

namespace gridmint {

// Why the route gave no parser.
enum class UrlFailure {
    none,
    skippedType,        // the address names a document, sound, video or archive file
    badlyFormed,        // not a URL, even with its unsafe characters escaped
    noResponse,         // no body: refused, unknown host, unreadable file, …
    timedOut,           // the connection took too long, or the server went silent
    connectionReset,    // the server reset the connection
    cutShort,           // the connection closed before the whole page arrived
    malformedResponse,  // the server's answer broke the rules of HTTP
    tooManyRedirects,   // the redirects went on past the limit, or in a loop
    certificate,        // the server's certificate could not be verified
    tooLarge,           // the body grew beyond the cap
    cancelled,          // the caller's cancel flag was raised
    noContentType,      // an HTTP response without "Content-Type"
    notHtml,            // a "Content-Type" that does not name HTML
    emptyBody,          // the bytes route refused the body (it was empty)
};

// What happened on the way, for people: the tool's error line, the app's alert.
struct UrlLoadReport {
    UrlFailure failure = UrlFailure::none;
    std::string address;  // the normalised address, UTF-8
    std::string url;      // the URL fetched, when one was built
    std::string pageUrl;  // the URL the page came from after redirects, once fetched
    std::string detail;   // the transfer layer's message, or the refused Content-Type
    long httpStatus = 0;
    std::string charset;  // the charset the response's Content-Type named, as written
};

// Normalises `typed`, skips non-page types, fetches the address with `fetcher` (the
// "User-Agent" is the userAgentString setting, else "Gridmint/<version>"), checks that an
// HTTP response is HTML and scans the body. No parser (nullptr) on any failure; `report`,
// when given, says why. Log lines are written only while verbosity is above 0.
std::unique_ptr<HTMLTableParser> initWithUrl(std::u16string_view typed, const Defaults& defaults,
                                             Fetcher& fetcher, const FetchOptions& options = {},
                                             UrlLoadReport* report = nullptr);

// The second half of the route, for a response obtained some other way (an archived one):
// checks that an HTTP response is HTML, picks the encoding from its Content-Type (else a
// byte-order mark, else UTF-8; a charset in the page's head still wins) and scans the body.
// `report.address` names the page in log lines.
std::unique_ptr<HTMLTableParser> parserFromResponse(FetchResult response, const Defaults& defaults,
                                                    UrlLoadReport& report);

// The same with a CurlFetcher and the standard limits.
std::unique_ptr<HTMLTableParser> initWithUrl(std::u16string_view typed, const Defaults& defaults,
                                             UrlLoadReport* report = nullptr);

// The reason as a short phrase ("not an HTML page (Content-Type: text/plain)"), empty for
// UrlFailure::none.
std::string describeFailure(const UrlLoadReport& report);

// The User-Agent sent when the userAgentString setting is absent.
std::string defaultUserAgent();

}  // namespace gridmint
