// The entity table: known values from each HTML 4.01 set, the rows' shape and order, and
// that lookup finds exactly the rows and nothing else.
#include "EntityTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "TestSupport.h"
#include "Utf.h"

namespace gridmint {
namespace {

struct Known {
    std::u16string_view reference;
    char16_t codeUnit;
};

constexpr Known kKnown[] = {
    // Latin-1.
    {u"&nbsp;", 0x00A0},
    {u"&copy;", 0x00A9},
    {u"&shy;", 0x00AD},
    {u"&times;", 0x00D7},
    {u"&szlig;", 0x00DF},
    {u"&eacute;", 0x00E9},
    {u"&yuml;", 0x00FF},
    // Symbols.
    {u"&fnof;", 0x0192},
    {u"&Alpha;", 0x0391},
    {u"&alpha;", 0x03B1},
    {u"&sigmaf;", 0x03C2},
    {u"&thetasym;", 0x03D1},
    {u"&piv;", 0x03D6},
    {u"&bull;", 0x2022},
    {u"&image;", 0x2111},
    {u"&alefsym;", 0x2135},
    {u"&hArr;", 0x21D4},
    {u"&there4;", 0x2234},
    {u"&lang;", 0x2329},
    {u"&rang;", 0x232A},
    {u"&loz;", 0x25CA},
    {u"&diams;", 0x2666},
    // Special.
    {u"&quot;", 0x0022},
    {u"&amp;", 0x0026},
    {u"&lt;", 0x003C},
    {u"&gt;", 0x003E},
    {u"&OElig;", 0x0152},
    {u"&Yuml;", 0x0178},
    {u"&circ;", 0x02C6},
    {u"&zwj;", 0x200D},
    {u"&Dagger;", 0x2021},
    {u"&permil;", 0x2030},
    {u"&euro;", 0x20AC},
    // The addition.
    {u"&apos;", 0x0027},
};

TEST(EntityTableTest, knownReferencesFromEverySet) {
    for (const Known& known : kKnown) {
        SCOPED_TRACE(toUtf8(known.reference));
        EXPECT_EQ(lookupEntity(known.reference), known.codeUnit);
    }
}

TEST(EntityTableTest, nearMissesAreUnknown) {
    constexpr std::u16string_view kUnknown[] = {
        u"",       u"&",         u"&;",          u"&amp",   u"amp;",     u"&AMP;",
        u"&Amp;",  u"&#38;",     u"&ap;",        u"&ampx;", u"&bogus;",  u"&Nbsp;",
        u"&EURO;", u"&thetasym", u"&thetasym;;", u"&Rho",   u"&trade ;", u"& amp;",
    };
    for (const std::u16string_view reference : kUnknown) {
        SCOPED_TRACE(toUtf8(reference));
        EXPECT_EQ(lookupEntity(reference), std::nullopt);
    }
}

// Names are looked up as numbers made of their characters; these differ from a row's name
// only in what such a number could lose: a NUL, a high bit, a unit beyond one byte, the length.
TEST(EntityTableTest, namesThatPackLikeARowAreUnknown) {
    constexpr std::string_view kUnknownBytes[] = {
        std::string_view("lt\0", 3),
        std::string_view("\0lt", 3),
        "\xECt",
        "amp\x80",
        "thetasymm",
        "l",
        "",
        "theta sym",
    };
    for (const std::string_view name : kUnknownBytes) {
        SCOPED_TRACE(testing::PrintToString(name));
        EXPECT_EQ(lookupEntityName(name), std::nullopt);
        EXPECT_EQ(lookupEntityName(test::PaddedCopy(name, 'x').bytes()), std::nullopt);
    }
    // A name read as one word with the bytes after it: those bytes never complete it.
    for (const char* name : {"l", "am", "thetasy", "nbs", "ap"}) {
        for (const char tail : {'t', 'p', 'm', 's', '\0'}) {
            SCOPED_TRACE(testing::Message() << name << " + " << testing::PrintToString(tail));
            EXPECT_EQ(lookupEntityName(test::PaddedCopy(name, tail).bytes()), std::nullopt);
        }
    }
    constexpr std::u16string_view kUnknownText[] = {u"\u016Ct", u"\u0100lt", u"am\u3070"};
    for (const std::u16string_view name : kUnknownText) {
        SCOPED_TRACE(toUtf8(name));
        EXPECT_EQ(lookupEntityName(name), std::nullopt);
        EXPECT_EQ(lookupEntity(Text(u"&").append(name).append(u";")), std::nullopt);
    }
}

TEST(EntityTableTest, rowsAreWellFormedUniqueAndAscending) {
    std::set<std::u16string_view> references;
    std::size_t tenUnitRows = 0;
    for (std::size_t i = 0; i < entityTable.size(); ++i) {
        const EntityReference& row = entityTable[i];
        SCOPED_TRACE(toUtf8(row.reference));
        ASSERT_GE(row.reference.size(), 4u);
        ASSERT_LE(row.reference.size(), 10u);
        EXPECT_EQ(row.reference.front(), u'&');
        EXPECT_EQ(row.reference.back(), u';');
        const std::u16string_view name = row.reference.substr(1, row.reference.size() - 2);
        EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char16_t c) {
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        }));
        EXPECT_TRUE(references.insert(row.reference).second) << "duplicate";
        if (i > 0) {
            EXPECT_LT(entityTable[i - 1].codeUnit, row.codeUnit);
        }
        if (row.reference.size() == 10) ++tenUnitRows;
        EXPECT_EQ(lookupEntity(row.reference), row.codeUnit);
        EXPECT_EQ(lookupEntityName(name), row.codeUnit);
        EXPECT_EQ(lookupEntityName(toUtf8(name)), row.codeUnit);
        for (const char tail : test::kTailBytes) {
            EXPECT_EQ(lookupEntityName(test::PaddedCopy(toUtf8(name), tail).bytes()), row.codeUnit);
        }
    }
    EXPECT_EQ(references.size(), 253u);
    EXPECT_EQ(tenUnitRows, 1u);
}

TEST(EntityTableTest, latin1RowsCoverEveryCodePointOnce) {
    const auto first =
        std::find_if(entityTable.begin(), entityTable.end(),
                     [](const EntityReference& row) { return row.codeUnit >= 0xA0; });
    ASSERT_EQ(first - entityTable.begin(), 5);  // quot, amp, apos, lt, gt
    for (char16_t codeUnit = 0xA0; codeUnit <= 0xFF; ++codeUnit) {
        ASSERT_EQ(first[codeUnit - 0xA0].codeUnit, codeUnit);
    }
    EXPECT_GT(first[0x60].codeUnit, 0xFF);
}

}  // namespace
}  // namespace gridmint
