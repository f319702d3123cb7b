// Archives of every shape the reader meets, plain and gzip: which responses come out, and
// which warnings, with the offsets they name.
#include "WarcReader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "GzipMembers.h"
#include "RecordedResponse.h"
#include "WarcBuilder.h"

namespace gridmint {
namespace {

using namespace gridmint::testing;

struct ReadOut {
    std::vector<std::string> uris;
    std::vector<std::string> warnings;
};

ReadOut readAll(const std::string& archive, size_t maxBlockBytes = 1 << 20, WarcRange range = {}) {
    ReadOut out;
    WarcReader reader(
        ByteBuffer::copyOf(archive), maxBlockBytes,
        [&out](const std::string& message) { out.warnings.push_back(message); }, range);
    while (auto record = reader.nextResponse()) {
        EXPECT_TRUE(record->block.starts_with("HTTP/1.1 200")) << record->targetUri;
        out.uris.push_back(record->targetUri);
    }
    return out;
}

// Cut in two anywhere, an archive's halves read apart give each record and warning of the
// whole once, in order.
void expectHalvesReadAsWhole(const std::string& archive, size_t limit, const ReadOut& whole) {
    for (uint64_t cut = 1; cut < archive.size(); ++cut) {
        ReadOut halves = readAll(archive, limit, {0, cut});
        const ReadOut second = readAll(archive, limit, {cut});
        halves.uris.insert(halves.uris.end(), second.uris.begin(), second.uris.end());
        halves.warnings.insert(halves.warnings.end(), second.warnings.begin(),
                               second.warnings.end());
        ASSERT_EQ(halves.uris, whole.uris) << "cut at " << cut;
        ASSERT_EQ(halves.warnings, whole.warnings) << "cut at " << cut;
    }
}

const std::string page = httpResponse("text/html", "<table><tr><td>x</td></tr></table>");

std::vector<std::string> threeResponses() {
    return {warcRecord("response", "http://a/", page), warcRecord("response", "http://b/", page),
            warcRecord("response", "http://c/", page)};
}

struct ArchiveCase {
    const char* name;
    // Changes the records, or (after packing) the archive's bytes.
    std::function<void(std::vector<std::string>&)> changeRecords;
    std::function<void(std::string&, bool gzip)> changeArchive;
    std::vector<std::string> uris;
    std::vector<std::string> warningParts;  // one per warning expected, in order
};

TEST(WarcReader, recordsAndDamageInPlainAndGzipArchives) {
    const std::vector<ArchiveCase> cases = {
        {"threeResponses", nullptr, nullptr, {"http://a/", "http://b/", "http://c/"}, {}},
        {"otherRecordTypesAreSkippedQuietly",
         [](auto& r) {
             r.insert(r.begin(), warcRecord("warcinfo", "", "software: test\r\n"));
             r[2] = warcRecord("request", "http://b/", "GET / HTTP/1.1\r\n\r\n");
             r.push_back(warcRecord("metadata", "http://c/", "x: y\r\n"));
         },
         nullptr,
         {"http://a/", "http://c/"},
         {}},
        {"bracketedUri",
         [](auto& r) { r[0] = warcRecord("response", "<http://a/>", page); },
         nullptr,
         {"http://a/", "http://b/", "http://c/"},
         {}},
        {"truncatedFinalRecord",
         nullptr,
         [](std::string& a, bool gzip) { a.resize(a.size() - (gzip ? 30 : 20)); },
         {"http://a/", "http://b/"},
         {"record at offset "}},
        {"recordWithoutVersionLine",
         [](auto& r) { r[1].replace(0, 8, "GARBAGE!"); },
         nullptr,
         {"http://a/", "http://c/"},
         {"does not begin with a WARC version line"}},
        {"recordWithoutLength",
         [](auto& r) {
             const size_t at = r[1].find("Content-Length: ");
             r[1].replace(at, 16, "Content-Lengthy ");
         },
         nullptr,
         {"http://a/", "http://c/"},
         {"no valid Content-Length"}},
        {"tooLargeResponse",
         [](auto& r) {
             r[1] = warcRecord("response", "http://big/",
                               httpResponse("text/html", std::string(5000, 'x')));
         },
         nullptr,
         {"http://a/", "http://c/"},
         {"(http://big/): larger than the limit of 4096 bytes"}},
    };
    for (const bool gzip : {false, true}) {
        for (const ArchiveCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (gzip ? " gzip" : " plain"));
            std::vector<std::string> records = threeResponses();
            if (c.changeRecords) c.changeRecords(records);
            std::string archive = archiveOf(records, gzip);
            if (c.changeArchive) c.changeArchive(archive, gzip);
            const size_t limit = std::string_view(c.name) == "tooLargeResponse" ? 4096 : 1 << 20;
            const ReadOut out = readAll(archive, limit);
            EXPECT_EQ(out.uris, c.uris);
            ASSERT_EQ(out.warnings.size(), c.warningParts.size());
            for (size_t i = 0; i < out.warnings.size(); ++i) {
                EXPECT_NE(out.warnings[i].find(c.warningParts[i]), std::string::npos)
                    << out.warnings[i];
            }
            expectHalvesReadAsWhole(archive, limit, out);
        }
    }
}

// The offsets name where the damaged record starts: its gzip member in a compressed archive.
TEST(WarcReader, damagedGzipMemberIsNamedByItsOffsetAndSkipped) {
    const std::vector<std::string> records = threeResponses();
    const std::string first = gzipMember(records[0]);
    std::string second = gzipMember(records[1]);
    second[second.size() / 2] ^= 0x55;
    second[second.size() / 2 + 1] ^= 0x55;
    const std::string archive = first + second + gzipMember(records[2]);
    const ReadOut out = readAll(archive);
    EXPECT_EQ(out.uris, (std::vector<std::string>{"http://a/", "http://c/"}));
    ASSERT_EQ(out.warnings.size(), 1u);
    EXPECT_EQ(out.warnings[0], "record at offset " + std::to_string(first.size()) +
                                   ": its compressed data is damaged; skipped");
    expectHalvesReadAsWhole(archive, 1 << 20, out);
}

// A response that claims little and inflates to a great deal: refused without holding it.
TEST(WarcReader, compressedBombStaysBounded) {
    const std::string zeros(16 << 20, '\0');
    const std::string bomb =
        gzipMember(warcRecord("response", "http://bomb/", httpResponse("text/html", zeros)));
    ASSERT_LT(bomb.size(), 1u << 20);
    const ReadOut out = readAll(bomb + gzipMember(threeResponses()[0]), 1 << 20);
    EXPECT_EQ(out.uris, std::vector<std::string>{"http://a/"});
    ASSERT_EQ(out.warnings.size(), 1u);
    EXPECT_NE(out.warnings[0].find("larger than the limit"), std::string::npos);
}

TEST(RecordedResponse, bodiesAsServersSendThem) {
    const std::string body = "<table><tr><td>caf\xc3\xa9</td></tr></table>";
    struct Case {
        const char* name;
        std::string message;
        size_t maxBody;
        RecordedResponseStatus status;
        std::string body;  // when ok
    };
    std::string gzipped =
        "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Type: text/html\r\n\r\n" +
        gzipMember(body);
    std::string broken = httpResponse("text/html", body, true);
    broken.replace(broken.find("7;ext"), 1, "z");
    const std::vector<Case> cases = {
        {"plain", httpResponse("text/html", body), 1000, RecordedResponseStatus::ok, body},
        {"chunked", httpResponse("text/html", body, true), 1000, RecordedResponseStatus::ok, body},
        {"gzipEncoded", gzipped, 1000, RecordedResponseStatus::ok, body},
        {"gzipBeyondBound", gzipped, 10, RecordedResponseStatus::tooLarge, ""},
        {"plainBeyondBound", httpResponse("text/html", body), 10, RecordedResponseStatus::tooLarge,
         ""},
        {"brokenChunkSize", broken, 1000, RecordedResponseStatus::malformed, ""},
        {"headerNeverEnds", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n", 1000,
         RecordedResponseStatus::malformed, ""},
        {"notHttp", "dns answer", 1000, RecordedResponseStatus::notHttp, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RecordedResponse read = readRecordedResponse(c.message, c.maxBody);
        EXPECT_EQ(read.status, c.status);
        if (c.status != RecordedResponseStatus::ok) continue;
        EXPECT_EQ(read.response.body, c.body);
        EXPECT_EQ(read.response.contentType, "text/html");
        EXPECT_EQ(read.response.status, 200);
    }
}

}  // namespace
}  // namespace gridmint
