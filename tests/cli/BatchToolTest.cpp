// The tool over many pages: several SOURCEs, a list of them, web archives built here from the
// corpus pages. The heavy lifting is differential: a page read from an archive gives the same
// tables as the same page read from its file, and eight threads give the output of one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDirectory.h"
#include "ToolRunner.h"
#include "WarcBuilder.h"

namespace gridmint::cli {
namespace {

using namespace gridmint::testing;

std::vector<std::string> corpusPages() {
    std::vector<std::string> pages;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(GRIDMINT_CORPUS_DIR, error)) {
        const std::string path = entry.path().string();
        if (path.ends_with(".html") || path.ends_with(".htm")) pages.push_back(path);
    }
    std::sort(pages.begin(), pages.end());
    pages.push_back(std::string(GRIDMINT_EXAMPLES_DIR) + "/world-cities.html");
    return pages;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A JSON line from "index" on: what the page itself decides.
std::string fromIndex(const std::string& line) {
    return line.substr(line.find(",\"index\":"));
}

class BatchTool : public ::testing::Test {
  protected:
    ToolResult run(const std::vector<std::string>& arguments, const std::string& input = "") {
        return runTool(GRIDMINT_EXTRACT_PATH, arguments, home_, input);
    }
    std::string file(const std::string& name, const std::string& bytes) {
        writeFile(work_.file(name), bytes);
        return work_.file(name);
    }

    TempDirectory home_;
    TempDirectory work_;
};

TEST_F(BatchTool, archivedPagesGiveTheTablesOfTheirFiles) {
    const std::vector<std::string> pages = corpusPages();
    std::vector<std::string> records = {warcRecord("warcinfo", "", "software: test\r\n")};
    std::vector<std::string> expected;
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string bytes = readWholeFile(pages[i]);
        // The address route reads a byte-order mark; a file is read from the given encoding.
        if (bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE")) continue;
        const std::string uri = "http://pages.test/" + std::to_string(i);
        records.push_back(warcRecord("request", uri, "GET / HTTP/1.1\r\n\r\n"));
        records.push_back(warcRecord("response", uri, httpResponse("text/html", bytes, i % 2)));
        records.push_back(warcRecord("response", uri + ".png", httpResponse("image/png", bytes)));
        for (const std::string& line : linesOf(run({"--jsonl", pages[i]}).out)) {
            expected.push_back(",\"url\":\"" + uri + "\"" + fromIndex(line));
        }
    }
    ASSERT_FALSE(expected.empty());
    for (const bool gzip : {false, true}) {
        SCOPED_TRACE(gzip ? "gzip" : "plain");
        std::string archive = archiveOf(records, gzip);
        // A final record cut short is reported and the rest still comes out.
        archive += gzip ? gzipMember(records[2]).substr(0, 40) : records[2].substr(0, 40);
        const std::string name = gzip ? "pages.warc.gz" : "pages.warc";
        const std::string path = file(name, archive);
        const ToolResult result = run({"--jsonl", "-j", "2", path});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.err.find("'" + path + "': record at offset " +
                                  std::to_string(archiveOf(records, gzip).size()) +
                                  ": the archive ends inside it; skipped"),
                  std::string::npos)
            << result.err;
        std::vector<std::string> got;
        const std::string prefix = "{\"source\":\"" + path + "\"";
        for (const std::string& line : linesOf(result.out)) {
            ASSERT_TRUE(line.starts_with(prefix)) << line.substr(0, 200);
            got.push_back(line.substr(prefix.size()));
        }
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(got[i], expected[i]) << "line " << i;
        }
    }
}

TEST_F(BatchTool, responseCharsetDecidesTheEncoding) {
    const std::string page = "<table><tr><td>caf\xe9</td></tr></table>";
    const std::string archive = archiveOf(
        {warcRecord("response", "http://a/", httpResponse("text/html; charset=windows-1252", page)),
         warcRecord("response", "http://b/",
                    httpResponse("text/html; charset=\"UTF-8\"",
                                 "<table><tr><td>caf\xc3\xa9</td></tr></table>"))},
        true);
    const std::string path = file("c.warc.gz", archive);
    for (const bool browser : {false, true}) {
        SCOPED_TRACE(browser ? "browser reading" : "default reading");
        const ToolResult result =
            run(browser ? std::vector<std::string>{"--jsonl", "--browser", path}
                        : std::vector<std::string>{"--jsonl", path});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        const std::vector<std::string> lines = linesOf(result.out);
        ASSERT_EQ(lines.size(), 2u) << result.out;
        for (const std::string& line : lines) {
            EXPECT_EQ(fromIndex(line),
                      ",\"index\":1,\"name\":\"noclass 1\",\"rows\":[[\"caf\xc3\xa9\"]]}");
        }
    }
}

TEST_F(BatchTool, eightThreadsGiveTheOutputOfOne) {
    std::vector<std::string> sources = corpusPages();
    std::vector<std::string> records;
    for (const std::string& page : sources) {
        records.push_back(warcRecord("response", "http://x/" + page,
                                     httpResponse("text/html", readWholeFile(page))));
    }
    sources.insert(sources.begin() + 3, file("all.warc.gz", archiveOf(records, true)));
    sources.push_back(sources.front());
    for (const char* selection : {"--jsonl", "--list"}) {
        SCOPED_TRACE(selection);
        std::vector<std::string> one = {selection, "-j", "1"}, eight = {selection, "-j", "8"};
        one.insert(one.end(), sources.begin(), sources.end());
        eight.insert(eight.end(), sources.begin(), sources.end());
        const ToolResult single = run(one);
        const ToolResult parallel = run(eight);
        EXPECT_EQ(single.exitCode, 0) << single.err;
        EXPECT_EQ(parallel.exitCode, 0) << parallel.err;
        EXPECT_GT(single.out.size(), 1000u);
        EXPECT_EQ(parallel.out, single.out);
    }
}

TEST_F(BatchTool, severalSourcesSelectionsAndFailures) {
    const std::string a = file("a.html", "<table id=\"t\"><tr><td>1</td><td>2</td></tr></table>");
    const std::string b = file("b.html", "<p>none</p>");
    const std::string spanned = file("s.html", "<table><tr><td colspan=2>x</td></tr></table>");
    const std::string missing = work_.file("missing.html");
    const std::string list = file("list.txt", a + "\r\n\n" + missing + "\n");

    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string input;
        int exitCode;
        std::string out;
        std::string errPart;
    };
    const std::string jsonlOfA =
        "{\"source\":\"" + a + "\",\"index\":1,\"name\":\"t\",\"rows\":[[\"1\",\"2\"]]}\n";
    const std::vector<Case> cases = {
        {"jsonlOfOnePage", {"--jsonl", a}, "", 0, jsonlOfA, ""},
        {"pageWithoutTablesGivesNoLine", {"--jsonl", b, a}, "", 0, jsonlOfA, ""},
        {"listLedByThePage", {"--list", a, b, a}, "", 0, a + "\tt\t1\t2\n" + a + "\tt\t1\t2\n", ""},
        {"missingFileIsAWarning",
         {"--jsonl", missing, a},
         "",
         1,
         jsonlOfA,
         "cannot read '" + missing},
        {"sourcesFromAFile", {"--jsonl", "--sources-from", list}, "", 1, jsonlOfA, "missing.html"},
        {"sourcesFromStandardInput", {"--jsonl", "--sources-from", "-"}, a + "\n", 0, jsonlOfA, ""},
        {"browserReadingWithItsOptions",
         {"--list", "--browser", "--spans", "none", spanned, a},
         "",
         0,
         spanned + "\tnoclass 1\t1\t1\n" + a + "\tt\t1\t2\n",
         ""},
        {"csvOfSeveralPagesIsRefused", {"--table", "t", a, b}, "", 2, "", "--jsonl or --list"},
        {"jsonOfSeveralPagesIsRefused", {"--json", a, b}, "", 2, "", "--jsonl or --list"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult result = run(c.arguments, c.input);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(result.out, c.out);
        EXPECT_NE(result.err.find(c.errPart), std::string::npos) << result.err;
    }
    const std::string output = work_.file("out.jsonl");
    EXPECT_EQ(run({"--jsonl", "-o", output, a}).exitCode, 0);
    EXPECT_EQ(readWholeFile(output), jsonlOfA);
}

// Cells without end tags: the default reading keeps no table here, the browser reading one.
TEST_F(BatchTool, browserReadingFromFlagOrSettingForFilesAndRecords) {
    const std::string page = "<table id=\"t\"><tr><td>1<td>2</table>";
    const std::string a = file("a.html", page);
    const std::string archive = file(
        "c.warc",
        archiveOf({warcRecord("response", "http://a/", httpResponse("text/html", page))}, false));
    const std::string rows = ",\"index\":1,\"name\":\"t\",\"rows\":[[\"1\",\"2\"]]}";
    EXPECT_EQ(run({"--jsonl", a, a}).out, "");
    const std::vector<std::string> files = linesOf(run({"--jsonl", "--browser", a, a}).out);
    ASSERT_EQ(files.size(), 2u);
    for (const std::string& line : files) EXPECT_EQ(fromIndex(line), rows);
    const std::vector<std::string> archived = linesOf(run({"--jsonl", "--browser", archive}).out);
    ASSERT_EQ(archived.size(), 1u);
    EXPECT_EQ(fromIndex(archived[0]), rows);
    std::filesystem::create_directories(home_.path() / "config/Gridmint");
    writeFile(home_.file("config/Gridmint/Gridmint.conf"), "[General]\nbrowserReading=true\n");
    const std::vector<std::string> fromSetting = linesOf(run({"--jsonl", a, archive}).out);
    ASSERT_EQ(fromSetting.size(), 2u);
    for (const std::string& line : fromSetting) EXPECT_EQ(fromIndex(line), rows);
}

}  // namespace
}  // namespace gridmint::cli
