// Spanning cells on the slot grid, in each span mode, and the output budget.
#include <gtest/gtest.h>

#include "BrowserTestSupport.h"

namespace gridmint::browser {
namespace {

struct SpanCase {
    const char* name;
    const char* rows;
    const char* repeat;
    const char* empty;
    const char* none;
};

constexpr SpanCase spanCases[] = {
    {"colspan", "<tr><td colspan=2>a<td>b<tr><td>c", R"([["a","a","b"],["c"]])",
     R"([["a","","b"],["c"]])", R"([["a","b"],["c"]])"},
    {"rowspanTakesSlotBelow", "<tr><td rowspan=2>a<td>b<tr><td>c", R"([["a","b"],["a","c"]])",
     R"([["a","b"],["","c"]])", R"([["a","b"],["c"]])"},
    {"rowspanZeroToGroupEnd", "<tr><td rowspan=0>a<tr><td>b<tr><td>c<tbody><tr><td>d",
     R"([["a"],["a","b"],["a","c"],["d"]])", R"([["a"],["","b"],["","c"],["d"]])",
     R"([["a"],["b"],["c"],["d"]])"},
    {"rowspanClippedToGroup", "<tr><td rowspan=5>a<tbody><tr><td>b", R"([["a"],["b"]])",
     R"([["a"],["b"]])", R"([["a"],["b"]])"},
    {"rowWithoutCellsUnderSpan", "<tr><td rowspan=2>a<td>b<tr>", R"([["a","b"],["a"]])",
     R"([["a","b"],[""]])", R"([["a","b"],[]])"},
    {"spanValuesAsHtmlReadsThem",
     "<tr><td colspan=' 2x'>a<td colspan=0>b<td colspan=-1>c<td colspan=2000 rowspan=junk>d",
     nullptr, nullptr, R"([["a","b","c","d"]])"},
};

std::string layout(const char* rows, SpanMode mode) {
    BrowserOptions options;
    options.spans = mode;
    return test::readAsJson(std::string("<table>") + rows + "</table>", options);
}

TEST(BrowserSpanLayout, modes) {
    for (const auto& c : spanCases) {
        SCOPED_TRACE(c.name);
        const std::string prefix = R"({"noclass 1":)";
        if (c.repeat) {
            EXPECT_EQ(layout(c.rows, SpanMode::repeat), prefix + c.repeat + "}");
        }
        if (c.empty) {
            EXPECT_EQ(layout(c.rows, SpanMode::empty), prefix + c.empty + "}");
        }
        EXPECT_EQ(layout(c.rows, SpanMode::none), prefix + c.none + "}");
    }
}

TEST(BrowserSpanLayout, columnLimitIsAThousand) {
    const auto result = readTablesAsBrowser("<table><tr><td colspan=2000>d</table>", {});
    EXPECT_EQ(result.tables.at(0).second.at(0).size(), 1000u);
}

TEST(BrowserSpanLayout, hugeSpansEndInOutputTooLarge) {
    std::string page = "<table>";
    for (int i = 0; i < 100000; ++i) page += "<tr><td colspan=1000 rowspan=65534>x";
    const BrowserResult result = readTablesAsBrowser(page, {});
    EXPECT_TRUE(result.outputTooLarge);
    EXPECT_TRUE(result.tables.empty());
    BrowserOptions asWritten;
    asWritten.spans = SpanMode::none;
    EXPECT_FALSE(readTablesAsBrowser(page, asWritten).outputTooLarge);
}

}  // namespace
}  // namespace gridmint::browser
