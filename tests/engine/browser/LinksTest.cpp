// Which link each cell keeps, and what its address is made absolute against.
#include <gtest/gtest.h>

#include "BrowserTestSupport.h"

namespace gridmint::browser {
namespace {

std::string linkedJson(std::string_view page, std::string pageAddress = {},
                       SpanMode spans = SpanMode::repeat) {
    BrowserOptions options;
    options.links = true;
    options.pageAddress = std::move(pageAddress);
    options.spans = spans;
    const BrowserResult result = readTablesAsBrowser(page, options);
    return jsonFromResult(result.tables, result.links);
}

struct LinkCase {
    const char* name;
    const char* page;
    const char* pageAddress;
    const char* json;
};

constexpr LinkCase linkCases[] = {
    {"relativeStaysWithoutBase", "<table><tr><td><a href='../a.html'>A</a></table>", "",
     R"({"noclass 1":[[{"text":"A","href":"../a.html"}]]})"},
    {"relativeAgainstPageAddress", "<table><tr><td><a href='../a.html'>A</a></table>",
     "https://example.com/docs/list/page.html",
     R"({"noclass 1":[[{"text":"A","href":"https://example.com/docs/a.html"}]]})"},
    {"absoluteKept", "<table><tr><td><a href='http://other.org/x?y#z'>A</a></table>",
     "https://example.com/", R"({"noclass 1":[[{"text":"A","href":"http://other.org/x?y#z"}]]})"},
    {"baseWinsOverPageAddress",
     "<base href='https://cdn.example/files/'><table><tr><td><a href=a.pdf>A</a></table>",
     "https://example.com/page",
     R"({"noclass 1":[[{"text":"A","href":"https://cdn.example/files/a.pdf"}]]})"},
    {"relativeBaseAgainstPageAddress",
     "<base href='/files/'><table><tr><td><a href=a.pdf>A</a></table>",
     "https://example.com/docs/page",
     R"({"noclass 1":[[{"text":"A","href":"https://example.com/files/a.pdf"}]]})"},
    {"firstBaseWithHrefCountsWhereverItStands",
     "<base target=_top><table><tr><td><a href=a>A</a></table><base href='http://one/d/'>"
     "<base href='http://two/'>",
     "", R"({"noclass 1":[[{"text":"A","href":"http://one/d/a"}]]})"},
    {"baseInTemplateIsNoPartOfThePage",
     "<template><base href='http://t/'></template><table><tr><td><a href=a>A</a></table>", "",
     R"({"noclass 1":[[{"text":"A","href":"a"}]]})"},
    {"firstLinkOfCellCounts",
     "<table><tr><td><a href=one>1</a> and <a href=two>2</a><td><a>no href</a><a href=x>3</a>"
     "</table>",
     "", R"({"noclass 1":[[{"text":"1 and 2","href":"one"},{"text":"no href3","href":"x"}]]})"},
    {"linkOnlyInSomeRows", "<table><tr><th>Name<tr><td><a href=a>A</a><tr><td>B</table>", "",
     R"({"noclass 1":[["Name"],[{"text":"A","href":"a"}],["B"]]})"},
    {"entitiesResolvedAsInAnyAttribute",
     "<table><tr><td><a href='/q?a=1&amp;b=&#x41;&not=2&lang;'>A</a></table>", "",
     "{\"noclass 1\":[[{\"text\":\"A\",\"href\":\"/q?a=1&b=A&not=2\xE2\x9F\xA8\"}]]}"},
    {"javascriptKeptAsWritten",
     "<base href='http://b/'><table><tr><td><a href='javascript:open(\"../x\")'>A</a></table>", "",
     R"j({"noclass 1":[[{"text":"A","href":"javascript:open(\"../x\")"}]]})j"},
    {"whiteSpaceAroundAddressDropped", "<table><tr><td><a href='\n  /a b.html\n'>A</a></table>",
     "http://h/", R"({"noclass 1":[[{"text":"A","href":"http://h/a b.html"}]]})"},
    {"emptyHrefIsThePageItself", "<table><tr><td><a href=''>A</a></table>", "http://h/p?q#f",
     R"({"noclass 1":[[{"text":"A","href":"http://h/p?q"}]]})"},
    {"linkOfNestedTableBelongsToInnerCell",
     "<table><tr><td>out<table><tr><td><a href=in>I</a></table><td>b</table>", "",
     R"({"noclass 1":[["out","b"]],"noclass 2":[[{"text":"I","href":"in"}]]})"},
    {"linkMovedOutOfInnerTableJoinsOuterCell",
     "<table><tr><td>a<table><a href=f>F</a><tr><td>i</table></table>", "",
     R"({"noclass 1":[[{"text":"aF","href":"f"}]],"noclass 2":[["i"]]})"},
    {"hiddenLinkIsNotTheCellsLink",
     "<table><tr><td><a href=h hidden>H</a><span style='display:none'><a href=s>S</a></span>"
     "<a href=shown>V</a></table>",
     "", R"({"noclass 1":[[{"text":"V","href":"shown"}]]})"},
    {"linkOutsideCellsIsLost", "<a href=x>before</a><table><tr><td>a</table>", "",
     R"({"noclass 1":[["a"]]})"},
    {"linkWithoutTextStillCounts", "<table><tr><td><a href=i.png><img></a></table>", "",
     R"({"noclass 1":[[{"text":"","href":"i.png"}]]})"},
    {"linkEndsWithItsCell", "<table><tr><td><a href=x>A<td>B</table>", "",
     R"({"noclass 1":[[{"text":"A","href":"x"},"B"]]})"},
};

TEST(BrowserLinks, cases) {
    for (const auto& c : linkCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(linkedJson(c.page, c.pageAddress), c.json);
    }
}

TEST(BrowserLinks, followTheirTextInEverySpanMode) {
    const char* page = "<table><tr><td colspan=2><a href=x>A</a><td>b<tr><td>c</table>";
    const struct {
        SpanMode mode;
        const char* json;
    } modes[] = {
        {SpanMode::repeat,
         R"({"noclass 1":[[{"text":"A","href":"x"},{"text":"A","href":"x"},"b"],["c"]]})"},
        {SpanMode::empty, R"({"noclass 1":[[{"text":"A","href":"x"},"","b"],["c"]]})"},
        {SpanMode::none, R"({"noclass 1":[[{"text":"A","href":"x"},"b"],["c"]]})"},
    };
    for (const auto& m : modes) {
        SCOPED_TRACE(static_cast<int>(m.mode));
        EXPECT_EQ(linkedJson(page, "", m.mode), m.json);
    }
}

TEST(BrowserLinks, keptOnlyWhenAskedFor) {
    const BrowserResult result =
        readTablesAsBrowser("<table><tr><td><a href=x>A</a></table>", BrowserOptions{});
    EXPECT_TRUE(result.links.empty());
    EXPECT_EQ(jsonFromResult(result.tables), R"({"noclass 1":[["A"]]})");
}

TEST(BrowserLinks, movedIntoColumnsForCsv) {
    BrowserOptions options;
    options.links = true;
    BrowserResult result = readTablesAsBrowser(
        "<table><tr><th>Doc<th>Size<tr><td><a href=a.pdf>A</a><td>1<tr><td>B<td>2</table>",
        options);
    moveLinksIntoColumns(result);
    EXPECT_TRUE(result.links.empty());
    EXPECT_EQ(jsonFromResult(result.tables),
              R"j({"noclass 1":[["Doc","Doc (link)","Size"],["A","a.pdf","1"],["B","","2"]]})j");
}

}  // namespace
}  // namespace gridmint::browser
