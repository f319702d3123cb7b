// Whole pages through the bytes route, checked by the tables they give.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "ScanCore.h"
#include "TestSupport.h"

namespace gridmint {
namespace {

using test::LogCapture;
using test::tablesOf;

struct PageCase {
    const char* name;
    const char* page;
    const char* tables;
};

constexpr PageCase structureCases[] = {
    {"simpleTable", "<table><tr><td>a</td><td>b</td></tr></table>", "noclass 1: [a|b]"},
    {"upperCaseAndTagWhiteSpace", "<TABLE><Tr>< td >x< / TD ></tr></table>", "noclass 1: [x]"},
    // A tag is known by its whole name: "</thead>" ends no cell, so columns stay in place.
    {"theadEndEndsNoCell",
     "<table><thead><tr><th>a</th><th>b</th></tr></thead><tbody><tr><th>0</th><td>6</td>"
     "<td>7</td></tr></tbody></table>",
     "noclass 1: [a|b] [0|6|7]"},
    {"theadEndLeavesCellTextWaiting",
     "<table><tr><th>h</th><td>d</thead></tr><tr><td>e</td></tr></table>", "noclass 1: [h] [d  e]"},
    {"tbodyDoesNothing", "<table><tbody><tr><td>a</td></tr></tbody></table>", "noclass 1: [a]"},
    {"longerNamesAreOtherTags", "<tablex><table-view><tr-group><tdx>a</tablex>", ""},
    {"trackInCellEndsNoRow",
     "<table><tr><td><video><track></video>a</td></track><td>b</td></tr></table>",
     "noclass 1: [a|b]"},
    {"closersFollowedByNameEnds", "<table><tr/><td/>a</td\f></tr\n></table\t>", "noclass 1: [a]"},
    {"nameEndingAtPageEnd", "<table><tr><td>a</td></tr></table", "noclass 1: [a]"},
    {"tagInsideCellSeparatesWords", "<table><tr><td>a<br>b</td></tr></table>", "noclass 1: [a b]"},
    {"bracketInTextSeparatesWords", "<table><tr><td>a>b</td></tr></table>", "noclass 1: [a b]"},
    {"missingCellEndJoinsCells", "<table><tr><td>a<td>b</td></tr></table>", "noclass 1: [a b]"},
    {"missingRowEndJoinsRows", "<table><tr><td>a</td><tr><td>b</td></tr></table>",
     "noclass 1: [a|b]"},
    {"emptyRowMakesNoRow", "<table><tr></tr><tr><td>a</td></tr></table>", "noclass 1: [a]"},
    {"cellOutsideTableJoinsNextRow", "<td>x</td><table><tr><td>y</td></tr></table>",
     "noclass 1: [x|y]"},
    {"tableWithoutRowEndsStoresNothing",
     "<table><tr><td>a</td></table><table><tr><td>b</td></tr></table>", "noclass 1: [a|b]"},
    {"openTableAtEndIsDropped", "<table><tr><td>a</td></tr>", ""},
    {"nestedTableSplitsOuter",
     "<table id=outer><tr><td>a<table id=inner><tr><td>b</td></tr></table>c</td><td>d</td></tr>"
     "<tr><td>e</td></tr></table>",
     "inner: [a  b]; inner (1): [|d] [e]"},
    {"shortDocument", "<t", ""},
};

constexpr PageCase maskingCases[] = {
    {"commentHidesTable", "<!-- <table><tr><td>x</td></tr></table> --><p>", ""},
    {"scriptHidesTable",
     "<script>var s='<table><tr><td>x</td></tr></table>';</script>"
     "<table><tr><td>y</td></tr></table>",
     "noclass 1: [y]"},
    {"bracketInCommentKeepsTagOpen", "<table><tr><td>x<!-- a < b -->text</td></tr></table>",
     "noclass 1: [x]"},
    {"scriptTagInsideCommentOpensScript", "<!-- <script> --><table><tr><td>x</td></tr></table>",
     ""},
    {"scriptEndInsideCommentInsideScript",
     "<script><!-- </script> --><table><tr><td>x</td></tr></table>", "noclass 1: [x]"},
    {"commentNotClosedBySpacedEnd", "<!-- a -- ><table><tr><td>x</td></tr></table>", ""},
    {"commentClosedByThreeDashes", "<!-- a ---><table><tr><td>x</td></tr></table>",
     "noclass 1: [x]"},
    {"shortestComment", "<!--><table><tr><td>x</td></tr></table>", "noclass 1: [x]"},
    {"spaceAfterSlashDoesNotCloseScript", "<script></ script><table><tr><td>a</td></tr></table>",
     ""},
    {"spaceBeforeSlashClosesScript", "<script>< /script><table><tr><td>a</td></tr></table>",
     "noclass 1: [a]"},
    {"selfClosingScriptStillOpens", "<script src=x/><table><tr><td>a</td></tr></table>", ""},
};

constexpr PageCase namingCases[] = {
    {"sameIdTwice",
     "<table id=t><tr><td>1</td></tr></table><table id=t><tr><td>2</td></tr></table>"
     "<table id=t><tr><td>3</td></tr></table>",
     "t: [1]; t (1): [2]; t (2): [3]"},
    {"unnamedTablesNumbered",
     "<table><tr><td>1</td></tr></table><table><tr><td>2</td></tr></table>"
     "<table><tr><td>3</td></tr></table>",
     "noclass 1: [1]; noclass 2: [2]; noclass 3: [3]"},
    {"idWinsOverClass", "<table id=a class=b><tr><td>1</td></tr></table>", "a: [1]"},
    {"classCarriesToNextTable",
     "<table class=k><tr><td>1</td></tr></table><table><tr><td>2</td></tr></table>",
     "k: [1]; k (1): [2]"},
    {"idCarriesOverLaterClass",
     "<table id=a><tr><td>1</td></tr></table><table class=b><tr><td>2</td></tr></table>",
     "a: [1]; a (1): [2]"},
    {"emptyIdIsAName",
     "<table id=''><tr><td>a</td></tr></table><table id=''><tr><td>b</td></tr></table>",
     ": [a];  (1): [b]"},
    {"quotedValues", "<table id=\"x y\"><tr><td>1</td></tr></table>", "x y: [1]"},
    {"upperCaseAttributeName", "<table ID='up'><tr><td>1</td></tr></table>", "up: [1]"},
    {"prefixedNameIsNotId", "<table data-id='x'><tr><td>a</td></tr></table>", "noclass 1: [a]"},
    {"gluedNameIsNotId", "<table xid=x><tr><td>a</td></tr></table>", "noclass 1: [a]"},
    {"cellIdIsIgnored", "<table><tr><td id=x>a</td></tr></table>", "noclass 1: [a]"},
    {"classValueInsideIdValue", "<table id='a class=b'><tr><td>x</td></tr></table>",
     "a class=bb': [x]"},
    {"waitingIdTakesNextTagsLetter", "<table id=><table class=z><tr><td>a</td></tr></table>",
     "e: [a]"},
    {"quotedBracketEndsTag", "<table title='a>b' id=x><tr><td>c</td></tr></table>",
     "noclass 1: [b' id=x  c]"},
    {"backslashBeforeValueSkipped", "<table id=\\'v'><tr><td>1</td></tr></table>", "v: [1]"},
    {"verticalTabBetweenNameAndEquals", "<table id\v=v><tr><td>1</td></tr></table>", "v: [1]"},
    {"verticalTabBeforeNameDoesNotCount", "<table\vid=v><tr><td>1</td></tr></table>",
     "noclass 1: [1]"},
    {"unquotedValueEndsOnlyAtSpace", "<table id=a\tb c><tr><td>1</td></tr></table>", "a\tb: [1]"},
    {"entityInId", "<table id='a&amp;b'><tr><td>1</td></tr></table>", "a&b: [1]"},
    {"explicitSuffixNameTaken",
     "<table id='t (1)'><tr><td>0</td></tr></table><table id=t><tr><td>1</td></tr></table>"
     "<table id=t><tr><td>2</td></tr></table>",
     "t (1): [0]; t: [1]; t (2): [2]"},
};

void checkCases(const PageCase* begin, const PageCase* end) {
    for (const PageCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(c->name);
        EXPECT_EQ(tablesOf(c->page), c->tables);
    }
}

TEST(ScanPass, tableStructure) {
    checkCases(std::begin(structureCases), std::end(structureCases));
}

// Each of the six table, row and cell tags completes on its last letter only when a tag name
// ends after it: at a name-ending byte or at the end of the page, not at a letter, digit or
// "-". Stepped through the core directly, so the completion bit itself is seen.
TEST(ScanCore, tagIsKnownByItsWholeName) {
    struct Tag {
        const char* text;
        std::uint8_t completion;
    };
    constexpr Tag tags[] = {
        {"<table", TableTagAutomaton::tableStart}, {"</table", TableTagAutomaton::tableEnd},
        {"<tr", TableTagAutomaton::rowStart},      {"</TR", TableTagAutomaton::rowEnd},
        {"<td", TableTagAutomaton::cellStart},     {"</td", TableTagAutomaton::cellEnd},
        {"< / th", TableTagAutomaton::cellEnd},
    };
    const std::pair<std::string, bool> followers[] = {
        {"\t", true}, {"\n", true}, {"\f", true}, {"\r", true}, {" ", true},  {"/", true},
        {">", true},  {"", true},   {"x", false}, {"2", false}, {"-", false}, {"\v", false},
    };
    for (const Tag& tag : tags) {
        for (const auto& [follower, completes] : followers) {
            const std::string page = std::string(tag.text) + follower;
            SCOPED_TRACE("\"" + page + "\"");
            ScanCore core;
            std::uint8_t completions = 0;
            for (size_t i = 0; i < page.size(); ++i) {
                const bool nameEndsAfter =
                    i + 1 == page.size() || endsTagName(static_cast<unsigned char>(page[i + 1]));
                completions |=
                    stepScanCore(core, static_cast<unsigned char>(page[i]), false, nameEndsAfter);
            }
            EXPECT_EQ((completions & tag.completion) != 0, completes);
        }
    }
}

TEST(ScanPass, commentsAndScriptsMask) {
    LogCapture log;
    checkCases(std::begin(maskingCases), std::end(maskingCases));
}

TEST(ScanPass, tableNames) {
    LogCapture log;
    checkCases(std::begin(namingCases), std::end(namingCases));
}

TEST(ScanPass, consolidatesWhiteSpaceFromThirdByte) {
    const char* page = "<table><tr><td>a\n\n  b\t c</td></tr></table>";
    EXPECT_EQ(tablesOf(page, true), "noclass 1: [a b c]");
    EXPECT_EQ(tablesOf(page, false), "noclass 1: [a  b\t c]");
}

TEST(ScanPass, attributeValueCutAt998Bytes) {
    LogCapture log;
    const std::string id(1200, 'x');
    const std::string page = "<table id='" + id + "'><tr><td>1</td></tr></table>";
    EXPECT_EQ(tablesOf(page), std::string(998, 'x') + ": [1]");
}

TEST(ScanPass, logsIdsAndUnclosedScriptAndComment) {
    LogCapture log;
    tablesOf("<table id=a class=b><tr><td>1</td></tr></table><script>");
    tablesOf("<!-- open");
    const std::vector<std::string> expected = {
        "currentTableId is now a",
        "currentTableClass is now b",
        "A script tag appears to be left unclosed. This may mask part or all of the page.",
        "An html comment tag appears to be left unclosed. This may mask part or all of the "
        "page.",
    };
    EXPECT_EQ(log.lines, expected);
}

TEST(ScanPass, manyTablesWithOneIdKeepTheirNumbers) {
    LogCapture log;
    std::string page;
    for (int i = 0; i < 2000; ++i) page += "<table id=t><tr><td>x</td></tr></table>";
    InMemoryDefaults defaults;
    auto parser = test::parseBytes(page, defaults);
    ASSERT_TRUE(parser);
    const auto& result = parser->getResultDictionary();
    ASSERT_EQ(result.size(), 2000u);
    EXPECT_EQ(result.at(0).first, u"t");
    EXPECT_EQ(result.at(1).first, u"t (1)");
    EXPECT_EQ(result.at(1999).first, u"t (1999)");
}

}  // namespace
}  // namespace gridmint
