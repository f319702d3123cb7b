// Runs the built gridmint-extract as a user would, with HOME and XDG_CONFIG_HOME pointing
// into a private directory so that the user's real settings are neither read nor touched.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "TempDirectory.h"
#include "ToolRunner.h"
#include "Version.h"

namespace gridmint::cli {
namespace {

class ExtractTool : public ::testing::Test {
  protected:
    std::string configFile() const { return home_.file("config/Gridmint/Gridmint.conf"); }

    void writeSettings(const std::string& text) {
        std::filesystem::create_directories(home_.path() / "config/Gridmint");
        writeFile(configFile(), text);
    }

    std::string page(const std::string& html, const std::string& name = "page.html") {
        const std::string path = work_.file(name);
        writeFile(path, html);
        return path;
    }

    ToolResult run(const std::vector<std::string>& arguments, const std::string& input = "") {
        return runTool(GRIDMINT_EXTRACT_PATH, arguments, home_, input);
    }

    TempDirectory home_;
    TempDirectory work_;
};

// Two tables named "b" (a class) and "a" (an id); the class comes first, because once an id
// has been seen, later tables take their name from it.
const std::string twoTables =
    "<table class=\"b\"><tr><td>x</td></tr></table>"
    "<table id=\"a\"><tr><td>1</td><td>2</td></tr><tr><td>3</td></tr></table>";
const std::string csvOfA = "\"1\",\"2\"\n\"3\"";
const std::string csvOfB = "\"x\"";
const std::string listOfTwo = "b\t1\t1\na\t2\t2\n";

struct ToolCase {
    const char* name;
    std::string html;
    std::vector<std::string> arguments;  // the page's path is appended
    int exitCode;
    std::optional<std::string> out;  // exact standard output, when it matters
    std::vector<std::string> errParts;
};

TEST_F(ExtractTool, selectionsExitCodesAndMessages) {
    const std::vector<ToolCase> cases = {
        {"oneTablePrintsItsCsv", "<table><tr><td>only</td></tr></table>", {}, 0, "\"only\"", {}},
        {"noTable", "<p>no tables here</p>", {}, 1, "", {"no table found"}},
        {"severalTablesAskForAChoice",
         twoTables,
         {},
         2,
         "",
         {listOfTwo, "holds 2 tables", "--table", "--index", "--all"}},
        {"tableByName", twoTables, {"--table", "a"}, 0, csvOfA, {}},
        {"tableByIndex", twoTables, {"--index", "1"}, 0, csvOfB, {}},
        {"unknownTableListsNames",
         twoTables,
         {"--table", "zz"},
         1,
         "",
         {"no table named 'zz'", listOfTwo}},
        {"indexPastTheEnd", twoTables, {"--index", "3"}, 1, "", {"no table number 3", listOfTwo}},
        {"list", twoTables, {"--list"}, 0, listOfTwo, {}},
        {"listNamesAsUtf8",
         "<table id=\"Z&uuml;rich\"><tr><td>1</td><td>2</td></tr></table>",
         {"--list"},
         0,
         "Z\xC3\xBCrich\t1\t2\n",
         {}},
        {"jsonWithoutTables", "<p>none</p>", {"--json"}, 0, "{}\n", {}},
        {"tableNameStartingWithDash",
         "<table id=\"-x\"><tr><td>v</td></tr></table>",
         {"--table", "-x"},
         0,
         "\"v\"",
         {}},
        {"quotesDoubledInCsv",
         "<table><tr><td>say \"hi\"</td><td>a,b</td></tr></table>",
         {},
         0,
         "\"say \"\"hi\"\"\",\"a,b\"",
         {}},
        {"loneSurrogateInCsvIsReplacementCharacter",
         "<table><tr><td>&#xD800;</td></tr></table>",
         {},
         0,
         "\"\xEF\xBF\xBD\"",
         {}},
        {"badIndexIsUsageError", twoTables, {"--index", "0"}, 2, "", {"--index", "--help"}},
        {"badEncodingIsUsageError", twoTables, {"--encoding", "latin1"}, 2, "", {"'latin1'"}},
        {"unknownOptionIsUsageError", twoTables, {"--csv"}, 2, "", {"unknown option '--csv'"}},
        {"emptyFile", "", {}, 1, "", {"empty"}},
    };
    for (const ToolCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back(page(c.html));
        const ToolResult result = run(arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        if (c.out) {
            EXPECT_EQ(result.out, *c.out);
        }
        for (const std::string& part : c.errParts) {
            EXPECT_NE(result.err.find(part), std::string::npos) << "missing: " << part << "\n"
                                                                << result.err;
        }
    }
}

TEST_F(ExtractTool, jsonEscapesEveryKindOfCharacter) {
    const std::string path = page(
        "<table id='q\"n'><tr><td>say \"hi\"</td><td>back\\slash</td><td>a&#1;b</td>"
        "<td>tab&#9;in</td><td>&#xD800;</td><td>&eacute; \xF0\x9F\x98\x80 \xE6\x9D\xB1</td>"
        "</tr></table>");
    const ToolResult result = run({"--json", path});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"q\\\"n\":[[\"say \\\"hi\\\"\",\"back\\\\slash\",\"a\\u0001b\",\"tab\\tin\","
              "\"\\uD800\",\"\xC3\xA9 \xF0\x9F\x98\x80 \xE6\x9D\xB1\"]]}\n");
}

// A page big enough for the tool to prepare the heap for its tables, from a file and from
// standard input: every row arrives, in order.
TEST_F(ExtractTool, largePageComesThroughWhole) {
    std::string html = "<table id=big>";
    std::string csv;
    for (int row = 0; html.size() < (size_t{9} << 20); ++row) {
        const std::string number = std::to_string(row);
        html += "<tr><td>" + number + "</td><td>caf\xC3\xA9 &amp; " + number + "</td></tr>\n";
        csv += (row ? "\n\"" : "\"") + number + "\",\"caf\xC3\xA9 & " + number + "\"";
    }
    html += "</table>";
    const std::string source = page(html, "large.html");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--index", "1", source},
          std::vector<std::string>{"--index", "1"}}) {
        const ToolResult result = run(arguments, arguments.size() == 2 ? html : "");
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_TRUE(result.out == csv) << result.out.size() << " bytes, expected " << csv.size();
    }
}

TEST_F(ExtractTool, readsStandardInput) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--table", "a"},
          std::vector<std::string>{"--table", "a", "-"}}) {
        const ToolResult result = run(arguments, twoTables);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, csvOfA);
    }
    const ToolResult empty = run({}, "");
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.err.find("standard input is empty"), std::string::npos) << empty.err;
}

TEST_F(ExtractTool, unreadableSourceGivesSystemReason) {
    const std::string missing = work_.file("missing.html");
    const ToolResult absent = run({missing});
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_NE(absent.err.find("'" + missing + "': No such file or directory"), std::string::npos)
        << absent.err;
    const ToolResult directory = run({work_.path().string()});
    EXPECT_EQ(directory.exitCode, 1);
    EXPECT_NE(directory.err.find("Is a directory"), std::string::npos) << directory.err;
}

TEST_F(ExtractTool, outputFileIsReplacedOnlyByACompleteResult) {
    const std::string source = page(twoTables);
    const std::string target = work_.file("out.csv");
    writeFile(target, "keep me");

    const ToolResult failed = run({"--table", "nosuch", "-o", target, source});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(readFile(target), "keep me");
    EXPECT_EQ(work_.entries(), (std::vector<std::string>{"out.csv", "page.html"}));

    const ToolResult written = run({"--table", "a", "--output", target, source});
    EXPECT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(readFile(target), csvOfA);
    EXPECT_EQ(work_.entries(), (std::vector<std::string>{"out.csv", "page.html"}));

    const ToolResult noDirectory = run({"--table", "a", "-o", work_.file("no/such.csv"), source});
    EXPECT_EQ(noDirectory.exitCode, 1);
    EXPECT_NE(noDirectory.err.find("No such file or directory"), std::string::npos);
}

// A page whose CSV is larger than the one 512-byte block that the disk-full runs allow.
std::string pageOfManyRows() {
    std::string html = "<table id=\"t\">";
    for (int row = 0; row < 200; ++row) html += "<tr><td>row " + std::to_string(row) + "</td></tr>";
    return html + "</table>";
}

// Runs the tool as if the disk were full: writes stop at 512 bytes and fail with EFBIG.
ToolResult runOnFullDisk(const std::vector<std::string>& arguments, const TempDirectory& home) {
    std::vector<std::string> shell = {"-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"",
                                      GRIDMINT_EXTRACT_PATH};
    shell.insert(shell.end(), arguments.begin(), arguments.end());
    return runTool("/bin/sh", shell, home);
}

// The names in `folder`, sorted.
std::vector<std::string> entriesOf(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(ExtractTool, fullDiskKeepsTheOldOutputAndLeavesNoTemporaryFile) {
    const std::string source = page(pageOfManyRows());
    const std::string target = work_.file("out.csv");
    const std::string folder = work_.file("tables");
    std::filesystem::create_directory(folder);
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string kept;                     // the file that stood at the output before
        std::vector<std::string> besideKept;  // all that its folder holds afterwards
    };
    const std::array<Case, 2> cases{{
        {"output", {"-o", target, source}, target, {"out.csv", "page.html", "tables"}},
        {"all", {"--all", folder, source}, folder + "/t.csv", {"t.csv"}},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(c.kept, "keep me");
        const ToolResult result = runOnFullDisk(c.arguments, home_);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(
            result.err.find("gridmint-extract: cannot write '" + c.kept + "': File too large\n"),
            std::string::npos)
            << result.err;
        EXPECT_EQ(readFile(c.kept), "keep me");
        EXPECT_EQ(entriesOf(std::filesystem::path(c.kept).parent_path()), c.besideKept);
    }
}

// The output of a page far larger than one chunk of the streamed output arrives whole, on
// standard output and in an output file alike; a standard output that cannot take it (a full
// device) is reported, whichever chunk fails.
TEST_F(ExtractTool, outputLargerThanAChunkIsStreamedWhole) {
    std::string html = "<table id=\"t\">";
    std::string csv;
    for (int row = 0; row < 40'000; ++row) {
        const std::string cell = "r\xC3\xA9" + std::to_string(row) + " \"q\"";
        html += "<tr><td>" + cell + "</td><td>x</td></tr>";
        csv += (row > 0 ? "\n\"" : "\"") + cell.substr(0, cell.size() - 4) + " \"\"q\"\"\",\"x\"";
    }
    const std::string source = page(html + "</table>");
    ASSERT_GT(csv.size(), 3u * 256u * 1024u);

    const ToolResult printed = run({source});
    EXPECT_EQ(printed.exitCode, 0) << printed.err;
    EXPECT_EQ(printed.out, csv);
    const std::string target = work_.file("out.csv");
    const ToolResult written = run({"-o", target, source});
    EXPECT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(readFile(target), csv);

    for (const char* selection : {"--index", "--json"}) {
        SCOPED_TRACE(selection);
        std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" > /dev/full",
                                          GRIDMINT_EXTRACT_PATH, selection};
        if (std::string(selection) == "--index") shell.push_back("1");
        shell.push_back(source);
        const ToolResult full = runTool("/bin/sh", shell, home_);
        EXPECT_EQ(full.exitCode, 1);
        // The scan's log lines come first.
        EXPECT_TRUE(full.err.ends_with(
            "\ngridmint-extract: cannot write standard output: No space left on device\n"))
            << full.err;
    }
}

TEST_F(ExtractTool, readOnlyOutputFileIsLeftAlone) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string source = page("<table><tr><td>new</td></tr></table>");
    const std::string target = work_.file("out.csv");
    writeFile(target, "keep me");
    std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
    const ToolResult result = run({"-o", target, source});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "gridmint-extract: cannot write '" + target + "': Permission denied\n");
    EXPECT_EQ(readFile(target), "keep me");
    EXPECT_EQ(work_.entries(), (std::vector<std::string>{"out.csv", "page.html"}));
}

TEST_F(ExtractTool, allWritesEveryTableUnderSafeUniqueNames) {
    const std::string source = page(
        "<table class=\"x/y\"><tr><td>1</td></tr></table>"
        "<table class=\"X_Y\"><tr><td>2</td></tr></table>"
        "<table><tr><td>3</td></tr></table>");
    const std::string directory = work_.file("out/tables");
    const ToolResult result = run({"--all", directory, source});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"x_y.csv", "\"1\""}, {"X_Y_2.csv", "\"2\""}, {"X_Y (1).csv", "\"3\""}};
    std::string paths;
    for (const auto& [file, csv] : expected) {
        paths += directory + "/" + file + "\n";
        EXPECT_EQ(readFile(directory + "/" + file), csv) << file;
    }
    EXPECT_EQ(result.out, paths);

    const ToolResult none = run({"--all", directory, page("<p>none</p>", "empty.html")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no table found"), std::string::npos);
}

// Links need the browser reading and one page; the setting alone leaves the default reading
// as it is, so one settings file serves both readings.
TEST_F(ExtractTool, linksAsColumnsOrObjectsWithTheBrowserReadingOnly) {
    const std::string source = page(
        "<table><tr><th>Doc</th><th>Size</th></tr><tr><td><a href=a.pdf>A</a></td><td>1</td>"
        "</tr><tr><td>B</td><td>2</td></tr></table>");
    const struct {
        const char* name;
        const char* settings;
        std::vector<std::string> arguments;
        int exitCode;
        const char* out;
        const char* errPart;
    } cases[] = {
        {"csvGainsLinkColumn",
         "",
         {"--browser", "--links"},
         0,
         "\"Doc\",\"Doc (link)\",\"Size\"\n\"A\",\"a.pdf\",\"1\"\n\"B\",\"\",\"2\"",
         ""},
        {"jsonGivesObjects",
         "",
         {"--browser", "--links", "--json"},
         0,
         "{\"noclass 1\":[[\"Doc\",\"Size\"],[{\"text\":\"A\",\"href\":\"a.pdf\"},\"1\"],"
         "[\"B\",\"2\"]]}\n",
         ""},
        {"listCountsLinkColumns",
         "",
         {"--browser", "--links", "--list"},
         0,
         "noclass 1\t3\t3\n",
         ""},
        {"withoutBrowserReadingRefused", "", {"--links"}, 2, "", "needs the browser reading"},
        {"browserReadingFromSettings",
         "browserReading=true\n",
         {"--links", "--index", "1"},
         0,
         "\"Doc\",\"Doc (link)\",\"Size\"\n\"A\",\"a.pdf\",\"1\"\n\"B\",\"\",\"2\"",
         ""},
        {"settingKeepsLinksInBrowserReading",
         "extractLinks=true\n",
         {"--browser", "--json"},
         0,
         "{\"noclass 1\":[[\"Doc\",\"Size\"],[{\"text\":\"A\",\"href\":\"a.pdf\"},\"1\"],"
         "[\"B\",\"2\"]]}\n",
         ""},
        {"settingLeavesDefaultReadingAlone",
         "extractLinks=true\n",
         {"--json"},
         0,
         "{\"noclass 1\":[[\"Doc\",\"Size\"],[\"A\",\"1\"],[\"B\",\"2\"]]}\n",
         ""},
        {"severalPagesRefused",
         "",
         {"--browser", "--links", "--jsonl", source},
         2,
         "",
         "cannot be combined with several pages"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(std::string("[General]\n") + c.settings);
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back(source);
        const ToolResult result = run(arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(result.out, c.out);
        EXPECT_NE(result.err.find(c.errPart), std::string::npos) << result.err;
    }
}

TEST_F(ExtractTool, settingsAreReadAndOptionsOverrideThemForOneRun) {
    const std::string source = page("<table><tr><td>a\n\n  b\t c</td></tr></table>");
    const ToolResult plain = run({source});
    EXPECT_EQ(plain.out, "\"a  b\t c\"");
    const ToolResult option = run({"--consolidate-whitespace", source});
    EXPECT_EQ(option.out, "\"a b c\"");
    EXPECT_FALSE(std::filesystem::exists(home_.path() / "config/Gridmint"))
        << "the tool must not create settings";

    const std::string settings = "[General]\nparserContentConsolidateWhitespace=true\n";
    writeSettings(settings);
    EXPECT_EQ(run({source}).out, "\"a b c\"");
    EXPECT_EQ(readFile(configFile()), settings) << "the tool must not write settings";
}

TEST_F(ExtractTool, verbosityFromSettingsOrOption) {
    const std::string source = page("<table><tr><td>1</td></tr></table>");
    const std::string verboseLine = "parser initiated with nil text encoding";
    EXPECT_EQ(run({"--encoding", "0", source}).err.find(verboseLine), std::string::npos);
    EXPECT_NE(run({"-v", "--encoding", "0", source}).err.find(verboseLine), std::string::npos);
    writeSettings("[General]\nverbosity=1\n");
    EXPECT_NE(run({"--encoding", "0", source}).err.find(verboseLine), std::string::npos);
}

TEST_F(ExtractTool, helpAndVersion) {
    const ToolResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--table NAME"), std::string::npos);
    const ToolResult version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "gridmint-extract " GRIDMINT_VERSION " (" GRIDMINT_BUILD_NUMBER ")\n");
}

TEST_F(ExtractTool, bundledExampleHasTheTableThatMakeRunShows) {
    const std::string example = GRIDMINT_EXAMPLES_DIR "/world-cities.html";
    const ToolResult list = run({"--list", example});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("largest-cities\t"), std::string::npos) << list.out;
    const ToolResult table = run({"--table", "largest-cities", example});
    EXPECT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.out.find("\"Tokyo\""), std::string::npos) << table.out;
}

}  // namespace
}  // namespace gridmint::cli
