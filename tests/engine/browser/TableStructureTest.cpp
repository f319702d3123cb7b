// Which tables exist, which rows and cells they hold, and their names and order.
#include <gtest/gtest.h>

#include "BrowserTestSupport.h"

namespace gridmint::browser {
namespace {

constexpr test::PageCase structureCases[] = {
    {"impliedCellAndRowEnds", "<table><tr><td>a<td>b<tr><td>c</table>",
     R"({"noclass 1":[["a","b"],["c"]]})"},
    {"cellRunsOnlyToTableEnd", "<table><tr><td>a</table>b<table><tr><td>c</td></table>",
     R"({"noclass 1":[["a"]],"noclass 2":[["c"]]})"},
    {"captionIsNoCell", "<table><caption>Cap</caption><tr><th></th><th>x</table>",
     R"({"noclass 1":[["","x"]]})"},
    {"nestedTableLeavesOuterWhole",
     "<table><tr><th>Head<td>a<table><tr><td>in</table>b<td>c<tr><td>d</table>",
     R"({"noclass 1":[["Head","a b","c"],["d"]],"noclass 2":[["in"]]})"},
    {"tablesInStartOrder", "<table id=outer><tr><td><table id=inner></table></table>",
     R"({"outer":[[""]],"inner":[]})"},
    {"fosterTextJoinsOuterCell", "<table><tr><td>a<table>x<tr><td>i</table>b</table>",
     R"({"noclass 1":[["ax b"]],"noclass 2":[["i"]]})"},
    {"fosterReferencesJoinOuterCell",
     "<table><tr><td>x<table>&amp;&eacute;<tr><td>i&amp;</table>y&amp;</table>",
     R"({"noclass 1":[["x&é y&"]],"noclass 2":[["i&"]]})"},
    {"fosterTextOutsideCellsIsLost", "x<table>stray<tr><td>a</table>", R"({"noclass 1":[["a"]]})"},
    {"fosterElementsJoinOuterCell", "<table><tr><td>a<table><div>d</div><tr><td>i</table></table>",
     R"({"noclass 1":[["a d"]],"noclass 2":[["i"]]})"},
    {"tableInTableOutsideCellClosesIt", "<table><tr><td>a</td><table><tr><td>b</table>",
     R"({"noclass 1":[["a"]],"noclass 2":[["b"]]})"},
    {"ignoredEndTags", "<table></td></tr><tr><td>a</caption></p></div><td>b</table>",
     R"({"noclass 1":[["a","b"]]})"},
    {"rowsAsTableRowsLists",
     "<table><tfoot><tr><td>F</tfoot><tr><td>B1<thead><tr><td>H</thead><tbody><tr><td>B2</table>",
     R"({"noclass 1":[["H"],["B1"],["B2"],["F"]]})"},
    {"emptyTableAndEmptyRowKept", "<table></table><table><tr></tr></table>",
     R"({"noclass 1":[],"noclass 2":[[]]})"},
    {"namesOwnIdThenClassExactly",
     "<table class=' c '></table><table id=i class=c></table><table></table>",
     R"({" c ":[],"i":[],"noclass 1":[]})"},
    {"repeatedNamesNumbered", "<table id=t></table><table id=t></table><table class=t></table>",
     R"j({"t":[],"t (1)":[],"t (2)":[]})j"},
    {"tableInScriptIsNoTable", "<script><table><tr><td>x</table></script>", "{}"},
    {"tableInCommentIsNoTable", "<!-- <table><tr><td>x</table> -->", "{}"},
    {"hiddenTableKeepsStructure", "<div hidden><table><tr><td>a<td>b</table></div>",
     R"({"noclass 1":[["",""]]})"},
    {"selectInCellClosedByCell", "<table><tr><td><select><option>o<td>b</table>",
     R"({"noclass 1":[["o","b"]]})"},
    {"svgTableBreaksOut", "<table><tr><td><svg><g>s</g><table><tr><td>i</table></table>",
     R"({"noclass 1":[["s"]],"noclass 2":[["i"]]})"},
    {"paragraphClosedByTableWithDoctype",
     "<!DOCTYPE html><table><tr><td><p hidden>a<table><tr><td>b</table>c</table>",
     R"({"noclass 1":[["c"]],"noclass 2":[["b"]]})"},
};

TEST(BrowserTableStructure, cases) {
    for (const auto& c : structureCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(test::readAsJson(c.page), c.json);
    }
}

// A hostile shape must stay linear: if any of these went quadratic the test would not end
// within the suite's time limit.
TEST(BrowserTableStructure, hostileShapesFinish) {
    std::string nested;
    for (int i = 0; i < 100000; ++i) nested += "<table><tr><td>";
    EXPECT_EQ(readTablesAsBrowser(nested, {}).tables.size(), 100000u);

    std::string cells = "<table><tr>";
    for (int i = 0; i < 1000000; ++i) cells += "<td>x";
    EXPECT_EQ(readTablesAsBrowser(cells, {}).tables.at(0).second.at(0).size(), 1000000u);

    std::string inline_ = "<table><tr><td>";
    for (int i = 0; i < 1000000; ++i) inline_ += (i % 2 ? "<span>" : "<b>");
    inline_ += "x</div></li>y<td>z";
    const auto inlineResult = readTablesAsBrowser(inline_, {});
    EXPECT_EQ(test::readAsJson(inline_), R"({"noclass 1":[["xy","z"]]})");

    std::string attributes = "<table id=a";
    for (int i = 0; i < 200000; ++i) attributes += " a" + std::to_string(i) + "='v>'";
    attributes += "><tr><td>x</table>";
    EXPECT_EQ(test::readAsJson(attributes), R"({"a":[["x"]]})");
}

}  // namespace
}  // namespace gridmint::browser
