// gridmint-extract with an address as SOURCE, run as a user would against the test server;
// HOME and XDG_CONFIG_HOME point into a private folder so real settings are never read.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

#include "SelfSignedTlsServer.h"
#include "TempDirectory.h"
#include "TestHttpServer.h"
#include "ToolRunner.h"

namespace gridmint {
namespace {

using cli::ToolResult;
using test::ScriptedResponse;
using test::TestHttpServer;

const std::string page = "<table id=\"t\"><tr><td>a</td><td>b</td></tr></table>";

class ExtractToolAddress : public ::testing::Test {
  protected:
    void writeSettings(const std::string& text) {
        std::filesystem::create_directories(home.path() / "config/Gridmint");
        std::ofstream(home.file("config/Gridmint/Gridmint.conf")) << text;
    }

    cli::ToolResult run(const std::vector<std::string>& arguments) {
        return cli::runTool(GRIDMINT_EXTRACT_PATH, arguments, home, "", {"no_proxy=*"});
    }

    cli::TempDirectory home;
    TestHttpServer server;
};

TEST_F(ExtractToolAddress, addressPrintsItsTable) {
    server.route("/page", {200, {{"Content-Type", "text/html"}}, page});
    const ToolResult result = run({server.url("/page")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "\"a\",\"b\"");
}

TEST_F(ExtractToolAddress, userAgentFromOptionElseSettings) {
    server.route("/page", {200, {{"Content-Type", "text/html"}}, page});
    writeSettings("[General]\nuserAgentString=FromSettings/1\n");
    EXPECT_EQ(run({server.url("/page")}).exitCode, 0);
    EXPECT_EQ(run({"--user-agent", "Probe/2", server.url("/page")}).exitCode, 0);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].header("User-Agent"), "FromSettings/1");
    EXPECT_EQ(requests[1].header("User-Agent"), "Probe/2");
}

// A fetched page's relative links are made absolute against where it ended up after
// redirects; a <base href> wins over that address.
TEST_F(ExtractToolAddress, linksResolveAgainstTheFinalAddress) {
    const std::string linked = "<table><tr><td><a href='../a.html'>A</a></table>";
    server.route("/old", {302, {{"Location", "/docs/list/page"}}, ""});
    server.route("/docs/list/page", {200, {{"Content-Type", "text/html"}}, linked});
    server.route(
        "/based",
        {200, {{"Content-Type", "text/html"}}, "<base href='http://cdn.example/x/y/'>" + linked});
    const ToolResult redirected = run({"--browser", "--links", "--json", server.url("/old")});
    EXPECT_EQ(redirected.exitCode, 0) << redirected.err;
    EXPECT_EQ(redirected.out, "{\"noclass 1\":[[{\"text\":\"A\",\"href\":\"" +
                                  server.url("/docs/a.html") + "\"}]]}\n");
    const ToolResult based = run({"--browser", "--links", server.url("/based")});
    EXPECT_EQ(based.out, "\"A\",\"http://cdn.example/x/a.html\"");
}

// One line on standard error that names the address and the cause, nothing on standard
// output, exit status 1.
void expectOneLineWithCause(const ToolResult& result, const std::string& address,
                            const std::string& reason) {
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find("'" + address + "'"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
}

TEST_F(ExtractToolAddress, addressWithoutPageSaysWhyOnOneLine) {
    // Short limits from the settings, so that a stalled or oversized answer ends at once.
    writeSettings("[General]\nfetchTimeoutSeconds=1\nfetchMaxBodyBytes=4096\n");
    server.route("/notes", {200, {{"Content-Type", "text/plain"}}, page});
    server.route("/bare", {200, {}, page});
    ScriptedResponse reset{200, {{"Content-Type", "text/html"}}, std::string(1000, 'x')};
    reset.cut = ScriptedResponse::Cut::reset;
    reset.cutAfter = 100;
    server.route("/reset", reset);
    server.route("/stall", {200, {}, page, true, false, ScriptedResponse::Stall::afterHeaders});
    server.route("/loop", {302, {{"Location", "/loop"}}, ""});
    ScriptedResponse big{200, {{"Content-Type", "text/html"}}, std::string(20000, 'x')};
    big.chunked = true;
    big.pieceSize = 1000;
    server.route("/big", big);
    ScriptedResponse notHex;
    notHex.raw =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n"
        "zz\r\n<p>a</p>\r\n0\r\n\r\n";
    server.route("/chunks", notHex);
    struct Case {
        const char* name;
        std::string address;
        const char* reason;
    };
    const std::array<Case, 9> cases{{
        {"notHtml", server.url("/notes"), "not an HTML page (Content-Type: text/plain)"},
        {"noContentType", server.url("/bare"), "no Content-Type"},
        {"skippedType", server.url("/report.pdf"), "skipped"},
        {"refused", "http://127.0.0.1:" + std::to_string(test::unusedPort()) + "/", "no response"},
        {"resetMidBody", server.url("/reset"), "the connection was reset"},
        {"stall", server.url("/stall"), "timed out (no data received for 1 s)"},
        {"redirectLoop", server.url("/loop"), "too many redirects"},
        {"overCap", server.url("/big"), "the page is too large (the body is larger than 4096"},
        {"malformedChunked", server.url("/chunks"), "malformed response"},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectOneLineWithCause(run({c.address}), c.address, c.reason);
    }
}

TEST_F(ExtractToolAddress, untrustedCertificateSaysSo) {
    if (!test::SelfSignedTlsServer::opensslInstalled()) {
        GTEST_SKIP() << "the openssl program is not installed";
    }
    test::SelfSignedTlsServer tls;
    ASSERT_TRUE(tls.running()) << tls.error();
    expectOneLineWithCause(run({tls.url("/")}), tls.url("/"), "certificate not accepted");
}

}  // namespace
}  // namespace gridmint
