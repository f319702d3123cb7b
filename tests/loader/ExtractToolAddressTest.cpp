// gridmint-extract with an address as SOURCE, run as a user would against the test server;
// HOME and XDG_CONFIG_HOME point into a private folder so real settings are never read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

#include "TempDirectory.h"
#include "TestHttpServer.h"

extern char** environ;

namespace gridmint {
namespace {

using test::ScriptedResponse;
using test::TestHttpServer;

const std::string page = "<table id=\"t\"><tr><td>a</td><td>b</td></tr></table>";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ExtractToolAddress : public ::testing::Test {
  protected:
    void writeSettings(const std::string& text) {
        std::filesystem::create_directories(home.path() / "config/Gridmint");
        std::ofstream(home.file("config/Gridmint/Gridmint.conf")) << text;
    }

    ToolResult run(std::vector<std::string> arguments) {
        const std::string out = home.file("stdout"), err = home.file("stderr");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        arguments.insert(arguments.begin(), GRIDMINT_EXTRACT_PATH);
        std::vector<std::string> environment = {
            "HOME=" + home.path().string(), "XDG_CONFIG_HOME=" + home.file("config"), "no_proxy=*"};
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (!entry.starts_with("HOME=") && !entry.starts_with("XDG_CONFIG_HOME=")) {
                environment.push_back(entry);
            }
        }
        auto pointers = [](std::vector<std::string>& strings) {
            std::vector<char*> result;
            for (auto& s : strings) result.push_back(s.data());
            result.push_back(nullptr);
            return result;
        };
        auto argv = pointers(arguments);
        auto envp = pointers(environment);
        ToolResult result;
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            return result;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = readAll(out);
        result.err = readAll(err);
        return result;
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
