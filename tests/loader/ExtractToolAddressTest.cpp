// gridmint-extract with an address as SOURCE, run as a user would against the test server;
// HOME and XDG_CONFIG_HOME point into a private folder so real settings are never read.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

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

TEST_F(ExtractToolAddress, addressWithoutPageSaysWhyOnOneLine) {
    server.route("/notes", {200, {{"Content-Type", "text/plain"}}, page});
    server.route("/bare", {200, {}, page});
    struct Case {
        const char* name;
        std::string address;
        const char* reason;
    };
    const std::array<Case, 4> cases{{
        {"notHtml", server.url("/notes"), "not an HTML page (Content-Type: text/plain)"},
        {"noContentType", server.url("/bare"), "no Content-Type"},
        {"skippedType", server.url("/report.pdf"), "skipped"},
        {"refused", "http://127.0.0.1:" + std::to_string(test::unusedPort()) + "/", "no response"},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult result = run({c.address});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find("'" + c.address + "'"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace gridmint
