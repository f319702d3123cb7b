// The address route end to end: typed text in, a finished parser (or the reason for none)
// out, over a real HTTP server on 127.0.0.1 and over local files.
#include "UrlRoute.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "CurlFetcher.h"
#include "TestHttpServer.h"
#include "TestSupport.h"
#include "Utf.h"
#include "Version.h"

namespace gridmint {
namespace {

using test::LogCapture;
using test::ScriptedResponse;
using test::TestHttpServer;
using namespace std::chrono_literals;

const std::string page = "<table id=\"t\"><tr><td>a</td><td>b</td></tr></table>";
const std::string pageTables = "t: [a|b]";

ScriptedResponse served(std::string contentType, std::string body, int status = 200) {
    return {status, {{"Content-Type", std::move(contentType)}}, std::move(body)};
}

bool holds(const std::vector<std::string>& lines, std::string_view needle) {
    for (const auto& line : lines) {
        if (line.find(needle) != std::string::npos) return true;
    }
    return false;
}

class UrlRouteTest : public ::testing::Test {
  protected:
    UrlRouteTest() {
        options.connectTimeout = 5s;
        options.idleTimeout = 1s;
    }

    std::unique_ptr<HTMLTableParser> load(std::string_view typed) {
        return initWithUrl(fromUtf8(typed), defaults, fetcher, options, &report);
    }

    std::string tablesAt(std::string_view typed) {
        auto parser = load(typed);
        return parser ? test::describe(parser->getResultDictionary()) : "<no parser>";
    }

    TestHttpServer server;
    CurlFetcher fetcher;
    FetchOptions options;
    InMemoryDefaults defaults;
    UrlLoadReport report;
};

TEST_F(UrlRouteTest, htmlPageIsScanned) {
    server.route("/page", served("text/html; charset=utf-8", page));
    EXPECT_EQ(tablesAt(server.url("/page")), pageTables);
    EXPECT_EQ(report.failure, UrlFailure::none);
    EXPECT_EQ(report.httpStatus, 200);
}

TEST_F(UrlRouteTest, addressWithoutSchemeGetsHttp) {
    server.route("/page", served("text/html", page));
    EXPECT_EQ(tablesAt("127.0.0.1:" + std::to_string(server.port()) + "/page"), pageTables);
    EXPECT_EQ(report.address, server.url("/page"));
}

TEST_F(UrlRouteTest, headerCharsetDecodesAccentedLetters) {
    server.route("/latin1", served("text/html; charset=ISO-8859-1",
                                   "<table id=\"t\"><tr><td>caf\xE9</td><td>\xC5land</td></tr>"
                                   "</table>"));
    auto parser = load(server.url("/latin1"));
    ASSERT_TRUE(parser);
    EXPECT_EQ(parser->encoding(), encoding::isoLatin1);
    EXPECT_EQ(test::describe(parser->getResultDictionary()), "t: [caf\xC3\xA9|\xC3\x85land]");
}

TEST_F(UrlRouteTest, headCharsetOverridesHeader) {
    server.route("/latin2", served("text/html; charset=utf-8",
                                   "<html><head><meta charset=\"iso-8859-2\"></head><body>"
                                   "<table id=\"t\"><tr><td>\xB1</td></tr></table></body></html>"));
    auto parser = load(server.url("/latin2"));
    ASSERT_TRUE(parser);
    EXPECT_EQ(parser->encoding(), encoding::isoLatin2);
    EXPECT_EQ(test::describe(parser->getResultDictionary()), "t: [\xC4\x85]");
}

TEST_F(UrlRouteTest, contentTypeDecidesWhetherToScan) {
    struct Case {
        const char* name;
        ScriptedResponse response;
        UrlFailure failure;
    };
    const std::array<Case, 6> cases{{
        {"upperCaseMediaType", served("TEXT/HTML", page), UrlFailure::none},
        {"xhtml", served("application/xhtml+xml", page), UrlFailure::none},
        {"lowerCaseHeaderName", {200, {{"content-type", "text/html"}}, page}, UrlFailure::none},
        {"notFoundPageServedAsHtml", served("text/html", page, 404), UrlFailure::none},
        {"plainText", served("text/plain", page), UrlFailure::notHtml},
        {"image", served("image/png", page), UrlFailure::notHtml},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.route("/x", c.response);
        const std::string tables = tablesAt(server.url("/x"));
        EXPECT_EQ(report.failure, c.failure);
        EXPECT_EQ(tables, c.failure == UrlFailure::none ? pageTables : "<no parser>");
    }
}

TEST_F(UrlRouteTest, refusedTypeWritesNoLogLine) {
    defaults.set(defaultsKey::verbosity, 1L);
    server.route("/plain", served("text/plain", page));
    LogCapture log;
    EXPECT_FALSE(load(server.url("/plain")));
    EXPECT_EQ(report.detail, "text/plain");
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(UrlRouteTest, missingContentTypeIsLoggedOnlyWhenVerbose) {
    server.route("/bare", {200, {}, page});
    for (long verbosity : {0L, 1L}) {
        SCOPED_TRACE(verbosity);
        defaults.set(defaultsKey::verbosity, verbosity);
        LogCapture log;
        EXPECT_FALSE(load(server.url("/bare")));
        EXPECT_EQ(report.failure, UrlFailure::noContentType);
        const std::vector<std::string> expected{"can't establish content type for " +
                                                server.url("/bare")};
        EXPECT_EQ(log.lines, verbosity ? expected : std::vector<std::string>{});
    }
}

TEST_F(UrlRouteTest, redirectedPageIsScanned) {
    server.route("/old", {301, {{"Location", "/new"}}, ""});
    server.route("/new", served("text/html", page));
    EXPECT_EQ(tablesAt(server.url("/old")), pageTables);
}

TEST_F(UrlRouteTest, emptyBodyGivesNoParser) {
    defaults.set(defaultsKey::verbosity, 1L);
    server.route("/empty", served("text/html", ""));
    LogCapture log;
    EXPECT_FALSE(load(server.url("/empty")));
    EXPECT_EQ(report.failure, UrlFailure::emptyBody);
    EXPECT_TRUE(holds(log.lines, "parser initiated with nil or no data"));
}

TEST_F(UrlRouteTest, stallingServerTimesOut) {
    server.route("/stall", {200, {}, page, true, false, ScriptedResponse::Stall::afterHeaders});
    EXPECT_FALSE(load(server.url("/stall")));
    EXPECT_EQ(report.failure, UrlFailure::timedOut);
    EXPECT_NE(describeFailure(report).find("timed out"), std::string::npos);
}

TEST_F(UrlRouteTest, brokenAnswerNamesItsCause) {
    ScriptedResponse reset = served("text/html", std::string(1000, 'x'));
    reset.cut = ScriptedResponse::Cut::reset;
    reset.cutAfter = 100;
    ScriptedResponse closed = reset;
    closed.cut = ScriptedResponse::Cut::close;
    ScriptedResponse notHex = served("text/html", "");
    notHex.raw =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n"
        "<p>\r\n";
    struct Case {
        const char* name;
        ScriptedResponse response;
        UrlFailure failure;
        const char* phrase;
    };
    const std::array<Case, 4> cases{{
        {"reset", reset, UrlFailure::connectionReset, "the connection was reset"},
        {"closed", closed, UrlFailure::cutShort,
         "the connection closed before the whole page arrived"},
        {"chunkSizeNotHex", notHex, UrlFailure::malformedResponse, "malformed response"},
        {"redirectLoop",
         {302, {{"Location", "/x"}}, ""},
         UrlFailure::tooManyRedirects,
         "too many redirects"},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.route("/x", c.response);
        EXPECT_FALSE(load(server.url("/x")));
        EXPECT_EQ(report.failure, c.failure) << describeFailure(report);
        EXPECT_EQ(describeFailure(report).rfind(c.phrase, 0), 0u) << describeFailure(report);
    }
}

TEST_F(UrlRouteTest, bodyBeyondCapIsRefusedAndLoggedWhenVerbose) {
    options.maxBodyBytes = 4096;
    ScriptedResponse big = served("text/html", std::string(20000, 'x'));
    big.chunked = true;
    big.pieceSize = 1000;
    server.route("/big", big);
    for (long verbosity : {0L, 1L}) {
        SCOPED_TRACE(verbosity);
        defaults.set(defaultsKey::verbosity, verbosity);
        LogCapture log;
        EXPECT_FALSE(load(server.url("/big")));
        EXPECT_EQ(report.failure, UrlFailure::tooLarge);
        EXPECT_EQ(log.lines.size(), verbosity ? 1u : 0u);
        if (verbosity) {
            EXPECT_TRUE(holds(log.lines, server.url("/big")));
        }
    }
}

TEST_F(UrlRouteTest, userAgentComesFromSettingsElseDefault) {
    server.route("/page", served("text/html", page));
    ASSERT_TRUE(load(server.url("/page")));
    defaults.set(defaultsKey::userAgent, std::string("Mozilla/5.0 (Tables)"));
    ASSERT_TRUE(load(server.url("/page")));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].header("User-Agent"), std::string("Gridmint/") + GRIDMINT_VERSION);
    EXPECT_EQ(requests[1].header("User-Agent"), "Mozilla/5.0 (Tables)");
}

TEST_F(UrlRouteTest, skippedTypeIsNeverFetched) {
    defaults.set(defaultsKey::verbosity, 1L);
    server.route("/report.Pdf", served("text/html", page));
    LogCapture log;
    EXPECT_FALSE(load(server.url("/report.Pdf")));
    EXPECT_EQ(report.failure, UrlFailure::skippedType);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(UrlRouteTest, badlyFormedAddressIsLoggedOnlyWhenVerbose) {
    for (long verbosity : {0L, 1L}) {
        SCOPED_TRACE(verbosity);
        defaults.set(defaultsKey::verbosity, verbosity);
        LogCapture log;
        EXPECT_FALSE(load("http://exa mple.com/page"));
        EXPECT_EQ(report.failure, UrlFailure::badlyFormed);
        EXPECT_EQ(log.lines, verbosity ? std::vector<std::string>{"url is badly formed"}
                                       : std::vector<std::string>{});
    }
}

// Local files: typed as paths, read through file:// addresses, no content-type check.
class UrlRouteLocalFileTest : public ::testing::Test {
  protected:
    UrlRouteLocalFileTest() {
        char pattern[] = "/tmp/gridmint-loader-XXXXXX";
        folder = mkdtemp(pattern);
        if (const char* home = getenv("HOME")) savedHome = home;
    }
    ~UrlRouteLocalFileTest() override {
        if (savedHome)
            setenv("HOME", savedHome->c_str(), 1);
        else
            unsetenv("HOME");
        std::filesystem::remove_all(folder);
    }

    void write(const std::string& relativePath, std::string_view bytes) {
        const auto path = std::filesystem::path(folder) / relativePath;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    std::string tablesAt(std::string_view typed) {
        auto parser = initWithUrl(fromUtf8(typed), defaults, &report);
        return parser ? test::describe(parser->getResultDictionary()) : "<no parser>";
    }

    std::string folder;
    std::optional<std::string> savedHome;
    InMemoryDefaults defaults;
    UrlLoadReport report;
};

TEST_F(UrlRouteLocalFileTest, pathsAreReadAsFiles) {
    struct Case {
        const char* name;
        const char* fileName;  // on disk, under the test folder
        const char* typed;     // what follows the folder in the typed path
    };
    const std::array<Case, 6> cases{{
        {"plain", "page.html", "page.html"},
        {"spaceAndHash", "my page #2.html", "my page #2.html"},
        {"percentAndQuestionMark", "100% sure?.html", "100% sure?.html"},
        {"nonAscii", "caf\xC3\xA9.html", "caf\xC3\xA9.html"},
        {"entityInTypedPath", "a&b.html", "a&amp;b.html"},
        {"anyExtensionIsScanned", "notes.txt", "notes.txt"},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write(c.fileName, page);
        EXPECT_EQ(tablesAt(folder + "/" + c.typed), pageTables);
        EXPECT_EQ(report.failure, UrlFailure::none) << describeFailure(report);
    }
}

TEST_F(UrlRouteLocalFileTest, homeFolderIsExpanded) {
    setenv("HOME", folder.c_str(), 1);
    write("pages/my table.html", page);
    EXPECT_EQ(tablesAt("~/pages/my table.html"), pageTables);
}

TEST_F(UrlRouteLocalFileTest, fileAddressTypedInFull) {
    write("page.html", page);
    EXPECT_EQ(tablesAt("file://" + folder + "/page.html"), pageTables);
}

TEST_F(UrlRouteLocalFileTest, missingFileGivesNoParser) {
    EXPECT_EQ(tablesAt(folder + "/absent.html"), "<no parser>");
    EXPECT_EQ(report.failure, UrlFailure::noResponse);
    EXPECT_FALSE(report.detail.empty());
}

}  // namespace
}  // namespace gridmint
