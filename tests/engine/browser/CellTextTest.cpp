// Cell text as a browser renders it.
#include <gtest/gtest.h>

#include "BrowserTestSupport.h"

namespace gridmint::browser {
namespace {

struct TextCase {
    const char* name;
    const char* cell;
    const char* joined;     // lines joined with a space
    const char* keptLines;  // lines joined with "\n" (as JSON writes it)
};

constexpr TextCase textCases[] = {
    {"inlineTagsAddNothing", "mozilla<wbr>.org/ F2<sup>[2]</sup>", "mozilla.org/ F2[2]",
     "mozilla.org/ F2[2]"},
    {"whiteSpaceCollapses", " a \t\n b\r\n", "a b", "a b"},
    {"breakAndBlocksSplitLines", "a<br>b<p>c</p>d<div><div>e</div></div>", "a b c d e",
     "a\\nb\\nc\\nd\\ne"},
    {"emptyLinesDropped", "<br><br>a<br> <br>b<p></p>", "a b", "a\\nb"},
    {"nbspIsNotCollapsed", "a&nbsp; b", "a\u00a0 b", "a\u00a0 b"},
    {"hiddenElements",
     "<span style=\"DISPLAY : none\">0</span>64<span hidden>x</span><rp>(</rp>"
     "<noscript>n</noscript><template>t</template><i style='visibility:hidden'>v</i>!",
     "64!", "64!"},
    {"hiddenBlockBreaksNothing", "a<div hidden>x</div>b", "ab", "ab"},
    {"formattingReopenedAfterBlock", "<b hidden>x<p>y</b>z", "z", "z"},
    {"referencesAroundHiddenText", "<span hidden>&amp;x</span>&amp;&eacute;y", "&éy", "&éy"},
    {"referencesAfterHiddenFormatting", "<b hidden>x&amp;<p>y&amp;</b>z&amp;w", "z&w", "z&w"},
    {"referencesInSelectAndForeignContent",
     "<select>&amp;<option>o&eacute;</select><svg><desc>&lt;</desc>&amp;</svg>&#65;", "&oé<&A",
     "&oé<&A"},
    {"listItemsAreLines", "<ul><li>one<li>two</ul>", "one two", "one\\ntwo"},
};

TEST(BrowserCellText, cases) {
    for (const auto& c : textCases) {
        SCOPED_TRACE(c.name);
        const std::string page = std::string("<table><tr><td>") + c.cell + "</table>";
        EXPECT_EQ(test::readAsJson(page), std::string(R"({"noclass 1":[[")") + c.joined + "\"]]}");
        BrowserOptions kept;
        kept.keepLineBreaks = true;
        EXPECT_EQ(test::readAsJson(page, kept),
                  std::string(R"({"noclass 1":[[")") + c.keptLines + "\"]]}");
    }
}

}  // namespace
}  // namespace gridmint::browser
