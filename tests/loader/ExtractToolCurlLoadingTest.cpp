// gridmint-extract loads libcurl only when a source is an address: the dynamic loader's own
// log (LD_DEBUG=files, written to files apart from the tool's output) tells which libraries a
// run opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "TempDirectory.h"
#include "TestHttpServer.h"
#include "ToolRunner.h"

namespace gridmint {
namespace {

using cli::ToolResult;
using test::TestHttpServer;

const std::string page = "<table id=\"t\"><tr><td>a</td><td>b</td></tr></table>";

class ExtractToolCurlLoading : public ::testing::Test {
  protected:
    void SetUp() override {
#if !defined(__linux__)
        GTEST_SKIP() << "reads the log of the GNU dynamic loader";
#endif
    }

    // Runs the tool with the dynamic loader logging every library it opens; `loaderLog`
    // receives that log.
    ToolResult runLogged(const std::vector<std::string>& arguments, const std::string& input,
                         std::string& loaderLog) {
        const std::filesystem::path logs = home.path() / "ld";
        std::filesystem::remove_all(logs);
        std::filesystem::create_directories(logs);
        const ToolResult result = cli::runTool(
            GRIDMINT_EXTRACT_PATH, arguments, home, input,
            {"no_proxy=*", "LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + (logs / "ld").string()});
        loaderLog.clear();
        for (const auto& entry : std::filesystem::directory_iterator(logs)) {
            loaderLog += cli::readWholeFile(entry.path().string());
        }
        return result;
    }

    cli::TempDirectory home;
};

TEST_F(ExtractToolCurlLoading, localSourcesNeverLoadLibcurl) {
    cli::writeFile(home.file("page.html"), page);
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string input;
    };
    const std::vector<Case> cases{
        {"file", {"--json", home.file("page.html")}, ""},
        {"standardInput", {"--json", "-"}, page},
        {"missingFile", {home.file("absent.html")}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string log;
        runLogged(c.arguments, c.input, log);
        // The log is there and lists what the tool did load: the check below can see.
        ASSERT_NE(log.find("libc.so.6"), std::string::npos) << log;
        EXPECT_EQ(log.find("libcurl"), std::string::npos) << log;
    }
}

TEST_F(ExtractToolCurlLoading, addressLoadsLibcurl) {
    TestHttpServer server;
    server.route("/page", {200, {{"Content-Type", "text/html"}}, page});
    std::string log;
    const ToolResult result = runLogged({server.url("/page")}, "", log);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "\"a\",\"b\"");
    EXPECT_NE(log.find("file=libcurl.so.4"), std::string::npos) << log;
}

// A libcurl.so.4 found first on the library path that is no library stands for a broken or
// missing installation: the run fails with one line that names the library and the reason.
TEST_F(ExtractToolCurlLoading, unloadableLibcurlIsReportedNotCrashed) {
    TestHttpServer server;
    server.route("/page", {200, {{"Content-Type", "text/html"}}, page});
    std::filesystem::create_directories(home.path() / "lib");
    const std::string fake = home.file("lib/libcurl.so.4");
    cli::writeFile(fake, "not a library");
    const std::string address = server.url("/page");
    const ToolResult result = cli::runTool(GRIDMINT_EXTRACT_PATH, {address}, home, "",
                                           {"no_proxy=*", "LD_LIBRARY_PATH=" + home.file("lib")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find("'" + address + "'"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("cannot load libcurl.so.4: " + fake), std::string::npos)
        << result.err;
    EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace gridmint
