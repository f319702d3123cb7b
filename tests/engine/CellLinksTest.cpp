#include "CellLinks.h"

#include <gtest/gtest.h>

#include "JsonWriter.h"

namespace gridmint {
namespace {

std::string asJson(const Table& table) {
    ResultDictionary result;
    result.insert(u"t", table);
    return jsonFromResult(result);
}

struct ColumnCase {
    const char* name;
    Table table;
    TableLinks links;
    const char* json;
};

TEST(CellLinks, linkColumns) {
    const std::vector<ColumnCase> cases = {
        {"noLinksLeavesTable", {{u"a", u"b"}, {u"c"}}, {}, R"({"t":[["a","b"],["c"]]})"},
        {"headerLabelAndEmptyCellsBelow",
         {{u"Name", u"Size"}, {u"A", u"1"}, {u"B", u"2"}},
         {{1, 0, u"http://x/a", false}},
         R"j({"t":[["Name","Name (link)","Size"],["A","http://x/a","1"],["B","","2"]]})j"},
        {"eachLinkedColumnGetsItsOwn",
         {{u"H1", u"H2", u"H3"}, {u"a", u"b", u"c"}},
         {{1, 0, u"l0", false}, {1, 2, u"l2", false}},
         R"j({"t":[["H1","H1 (link)","H2","H3","H3 (link)"],["a","l0","b","c","l2"]]})j"},
        {"headerCellLinkGivesWayToLabel",
         {{u"Country"}, {u"France"}},
         {{0, 0, u"/wiki/Country", true}, {1, 0, u"/wiki/France", false}},
         R"j({"t":[["Country","Country (link)"],["France","/wiki/France"]]})j"},
        {"dataCellLinkInFirstRowKept",
         {{u"A"}, {u"B"}},
         {{0, 0, u"a", false}, {1, 0, u"b", false}},
         R"({"t":[["A","a"],["B","b"]]})"},
        {"shortFirstRowPaddedToNameTheColumn",
         {{u"T"}, {u"x", u"y"}},
         {{1, 1, u"l", false}},
         R"j({"t":[["T","","(link)"],["x","y","l"]]})j"},
        {"shortRowStaysShort",
         {{u"A", u"B"}, {u"a", u"b"}, {u"c"}},
         {{1, 1, u"l", false}},
         R"j({"t":[["A","B","B (link)"],["a","b","l"],["c"]]})j"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(asJson(withLinkColumns(c.table, c.links)), c.json);
    }
}

TEST(CellLinks, jsonCellsWithLinksAreObjects) {
    ResultDictionary result;
    result.insert(u"t", {{u"a\"", u"b"}, {u"c"}});
    result.insert(u"u", {{u"d"}});
    const std::vector<TableLinks> links = {{{0, 0, u"h\\", false}}, {}};
    EXPECT_EQ(jsonFromResult(result, links),
              R"({"t":[[{"text":"a\"","href":"h\\"},"b"],["c"]],"u":[["d"]]})");
    std::string lines;
    writeJsonLinesFromResult(result, links, JsonLineOrigin{"p.html", std::nullopt},
                             appendingTo(lines));
    EXPECT_EQ(lines,
              "{\"source\":\"p.html\",\"index\":1,\"name\":\"t\",\"rows\":[[{\"text\":\"a\\\"\","
              "\"href\":\"h\\\\\"},\"b\"],[\"c\"]]}\n"
              "{\"source\":\"p.html\",\"index\":2,\"name\":\"u\",\"rows\":[[\"d\"]]}\n");
}

}  // namespace
}  // namespace gridmint
