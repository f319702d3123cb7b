// The fetcher against a real HTTP server on 127.0.0.1: what goes out, what comes back, and
// the guards against servers that stall, redirect forever or send too much.
#include "CurlFetcher.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "SelfSignedTlsServer.h"
#include "TestHttpServer.h"

namespace gridmint {
namespace {

using test::ScriptedResponse;
using test::TestHttpServer;
using Stall = ScriptedResponse::Stall;
using Cut = ScriptedResponse::Cut;
using namespace std::chrono_literals;

const std::string page = "<table><tr><td>a</td></tr></table>";

ScriptedResponse html(std::string body) {
    return {200, {{"Content-Type", "text/html; charset=utf-8"}}, std::move(body)};
}

ScriptedResponse redirect(std::string location) {
    return {302, {{"Location", std::move(location)}, {"Content-Type", "text/html"}}, "moved"};
}

class CurlFetcherTest : public ::testing::Test {
  protected:
    CurlFetcherTest() {
        options.connectTimeout = 5s;
        options.idleTimeout = 1s;
    }

    FetchResult get(std::string_view target, const std::string& userAgent = "TestAgent/1") {
        return fetcher.fetch(server.url(target), userAgent, options);
    }

    TestHttpServer server;
    CurlFetcher fetcher;
    FetchOptions options;
};

TEST_F(CurlFetcherTest, requestIsAnUncachedGetWithTheUserAgent) {
    server.route("/page", html(page));
    ASSERT_TRUE(get("/page", "Tables/2.0 (test)").gotBody);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].header("User-Agent"), "Tables/2.0 (test)");
    EXPECT_EQ(requests[0].header("Cache-Control"), "no-cache");
    EXPECT_EQ(requests[0].header("Pragma"), "no-cache");
}

TEST_F(CurlFetcherTest, lineBreaksInUserAgentCannotAddHeaders) {
    server.route("/page", html(page));
    ASSERT_TRUE(get("/page", "Agent\r\nX-Injected: yes").gotBody);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].count("User-Agent"), 1u);
    EXPECT_FALSE(requests[0].header("X-Injected"));
    EXPECT_EQ(requests[0].header("User-Agent"), "Agent  X-Injected: yes");
}

TEST_F(CurlFetcherTest, redirectLoopEndsAfterTenFollows) {
    server.route("/loop", redirect("/loop"));
    const FetchResult result = get("/loop");
    EXPECT_FALSE(result.gotBody);
    EXPECT_EQ(result.error, FetchError::tooManyRedirects);
    EXPECT_EQ(server.requests().size(), 11u);
}

// Links on the page are made absolute against where it ended up, not where the fetch began.
TEST_F(CurlFetcherTest, redirectedPageNamesItsFinalAddress) {
    server.route("/old/page", redirect("/new/list/page"));
    server.route("/new/list/page", html(page));
    const FetchResult result = get("/old/page");
    ASSERT_TRUE(result.gotBody);
    EXPECT_EQ(result.finalUrl, server.url("/new/list/page"));
}

TEST_F(CurlFetcherTest, redirectToLocalFileIsNotFollowed) {
    server.route("/sneaky", redirect("file:///etc/passwd"));
    const FetchResult result = get("/sneaky");
    EXPECT_FALSE(result.gotBody);
    EXPECT_TRUE(result.body.empty());
}

TEST_F(CurlFetcherTest, silentServerIsCutOffByIdleTimeout) {
    const std::array<Stall, 2> stalls{Stall::beforeHeaders, Stall::afterHeaders};
    for (Stall stall : stalls) {
        SCOPED_TRACE(stall == Stall::beforeHeaders ? "beforeHeaders" : "afterHeaders");
        server.route("/stall", {200, {{"Content-Type", "text/html"}}, page, true, false, stall});
        const FetchResult result = get("/stall");
        EXPECT_FALSE(result.gotBody);
        EXPECT_EQ(result.error, FetchError::timedOut);
    }
}

TEST_F(CurlFetcherTest, slowSteadyBodyOutlastsIdleTimeout) {
    // Six pieces 300 ms apart take longer than the idle timeout, but none is late.
    ScriptedResponse slow = html("<p>abcdef</p>");
    slow.pieceSize = 3;
    slow.pause = 300ms;
    server.route("/slow", slow);
    const FetchResult result = get("/slow");
    ASSERT_TRUE(result.gotBody) << result.errorMessage;
    EXPECT_EQ(result.body, "<p>abcdef</p>");
}

TEST_F(CurlFetcherTest, bodyBeyondCapIsRefused) {
    options.maxBodyBytes = 1000;
    const std::string big(5000, 'x');
    struct Case {
        const char* name;
        bool contentLength;
        bool chunked;
    };
    const std::array<Case, 3> cases{{
        {"announcedLength", true, false},
        {"chunked", false, true},
        {"untilClose", false, false},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedResponse response = html(big);
        response.sendContentLength = c.contentLength;
        response.chunked = c.chunked;
        response.pieceSize = 700;
        server.route("/big", response);
        const FetchResult result = get("/big");
        EXPECT_FALSE(result.gotBody);
        EXPECT_EQ(result.error, FetchError::tooLarge);
        EXPECT_TRUE(result.body.empty());
    }
}

TEST_F(CurlFetcherTest, bodyExactlyAtCapIsAccepted) {
    options.maxBodyBytes = 1000;
    ScriptedResponse response = html(std::string(1000, 'x'));
    response.chunked = true;
    response.pieceSize = 300;
    server.route("/full", response);
    const FetchResult result = get("/full");
    ASSERT_TRUE(result.gotBody) << result.errorMessage;
    EXPECT_EQ(result.body.size(), 1000u);
}

// Answers that break off or break the rules: each ends with no body and its own cause, and
// none waits for the idle timeout.
TEST_F(CurlFetcherTest, brokenAnswerGivesNoBodyAndItsCause) {
    const std::string body(1000, 'x');
    auto cutAfter100 = [&body](Cut cut, bool chunked) {
        ScriptedResponse response = html(body);
        response.chunked = chunked;
        response.cut = cut;
        response.cutAfter = 100;
        return response;
    };
    ScriptedResponse notHex = html("");
    notHex.raw =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n"
        "zz\r\n<p>a</p>\r\n0\r\n\r\n";
    struct Case {
        const char* name;
        ScriptedResponse response;
        FetchError error;
    };
    const std::array<Case, 5> cases{{
        {"resetMidBody", cutAfter100(Cut::reset, false), FetchError::reset},
        {"resetMidChunk", cutAfter100(Cut::reset, true), FetchError::reset},
        {"closedBeforeAnnouncedLength", cutAfter100(Cut::close, false), FetchError::cutShort},
        {"chunkShorterThanAnnounced", cutAfter100(Cut::close, true), FetchError::cutShort},
        {"chunkSizeNotHex", notHex, FetchError::malformed},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.route("/broken", c.response);
        const FetchResult result = get("/broken");
        EXPECT_FALSE(result.gotBody);
        EXPECT_EQ(result.error, c.error) << result.errorMessage;
        EXPECT_TRUE(result.body.empty());
        EXPECT_FALSE(result.errorMessage.empty());
    }
}

TEST_F(CurlFetcherTest, selfSignedCertificateIsRefused) {
    if (!test::SelfSignedTlsServer::opensslInstalled()) {
        GTEST_SKIP() << "the openssl program is not installed";
    }
    test::SelfSignedTlsServer tls;
    ASSERT_TRUE(tls.running()) << tls.error();
    const FetchResult result = fetcher.fetch(tls.url("/"), "TestAgent/1", options);
    EXPECT_FALSE(result.gotBody);
    EXPECT_EQ(result.error, FetchError::badCertificate) << result.errorMessage;
    EXPECT_NE(result.errorMessage.find("certificate"), std::string::npos) << result.errorMessage;
}

TEST_F(CurlFetcherTest, refusedConnectionGivesNoBody) {
    const FetchResult result = fetcher.fetch(
        "http://127.0.0.1:" + std::to_string(test::unusedPort()) + "/", "TestAgent/1", options);
    EXPECT_FALSE(result.gotBody);
    EXPECT_EQ(result.error, FetchError::refused);
    EXPECT_FALSE(result.errorMessage.empty());
}

TEST_F(CurlFetcherTest, raisedCancelFlagAbandonsTransfer) {
    server.route("/stall", {200, {}, page, true, false, Stall::beforeHeaders});
    options.idleTimeout = 60s;
    std::atomic<bool> cancel{false};
    options.cancel = &cancel;
    std::thread canceller([&cancel] {
        std::this_thread::sleep_for(200ms);
        cancel = true;
    });
    const FetchResult result = get("/stall");
    canceller.join();
    EXPECT_FALSE(result.gotBody);
    EXPECT_EQ(result.error, FetchError::cancelled);
}

TEST_F(CurlFetcherTest, unsupportedSchemeIsNotFetched) {
    const FetchResult result = fetcher.fetch("gopher://127.0.0.1/", "TestAgent/1", options);
    EXPECT_FALSE(result.gotBody);
    EXPECT_EQ(result.error, FetchError::unsupportedScheme);
}

TEST_F(CurlFetcherTest, fetchesOnSeveralThreadsAtOnce) {
    constexpr int threadCount = 4;
    for (int i = 0; i < threadCount; ++i) {
        ScriptedResponse response = html("<p>" + std::to_string(i) + "</p>");
        response.pieceSize = 2;
        response.pause = 20ms;
        server.route("/p" + std::to_string(i), response);
    }
    std::array<FetchResult, threadCount> results;
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back([&, i] {
            CurlFetcher own;
            results[i] = own.fetch(server.url("/p" + std::to_string(i)), "TestAgent/1", options);
        });
    }
    for (auto& t : threads) t.join();
    for (int i = 0; i < threadCount; ++i) {
        EXPECT_TRUE(results[i].gotBody) << results[i].errorMessage;
        EXPECT_EQ(results[i].body, "<p>" + std::to_string(i) + "</p>");
    }
}

}  // namespace
}  // namespace gridmint
