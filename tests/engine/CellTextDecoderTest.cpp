// Turning collected bytes into cell text: decoding with fallbacks, references, trimming and
// line breaks.
#include <gtest/gtest.h>

#include "CellTextDecoder.h"
#include "TestSupport.h"

namespace gridmint {
namespace {

using test::LogCapture;

struct DecodeCase {
    const char* name;
    std::string_view bytes;
    bool returnsAreSeparators;
    std::u16string_view expected;
};

constexpr DecodeCase decodeCases[] = {
    {"empty", "", true, u""},
    {"onlyWhiteSpace", " \t\r\n  ", true, u""},
    {"nbspAloneIsTrimmed", "&nbsp;", true, u""},
    {"ampersandReference", "a&amp;b", true, u"a&b"},
    {"referencedLineBreaksMerge", "a&#13;&#10;b", true, u"a b"},
    {"lineBreaksBesideSpaces", "  one\r\n  two ", true, u"one  two"},
    {"lineBreaksRemovedWithoutSeparators", "  one\r\n  two ", false, u"one  two"},
    {"wordsJoinedWithoutSeparators", "a\nb", false, u"ab"},
    {"fiveSpacesBecomeThree", "a     b", true, u"a   b"},
    {"tabInsideStays", "a\tb", true, u"a\tb"},
    {"nbspInsideStays", "a\xC2\xA0\xC2\xA0 b", true, u"a\u00A0\u00A0 b"},
    {"ideographicSpaceTrimmed", "\xE3\x80\x80x\xE3\x80\x80", true, u"x"},
    {"referencedSpaceTrimmed", "&#32;x&#9;", true, u"x"},
    {"invalidUtf8FallsBackToLatin1", "caf\xE9", true, u"caf\u00E9"},
    {"loneSurrogateReference", "&#xD800;", true, u"\xD800"},
};

TEST(CellTextDecoder, decodesTrimsAndFlattens) {
    InMemoryDefaults defaults;
    CellTextDecoder decoder(encoding::utf8, defaults);
    for (const auto& c : decodeCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decoder.decode(c.bytes.data(), c.bytes.size(), c.returnsAreSeparators),
                  c.expected);
    }
}

TEST(CellTextDecoder, fallbackLogsOnlyWhenVerbose) {
    InMemoryDefaults defaults;
    LogCapture log;
    CellTextDecoder utf8(encoding::utf8, defaults);
    utf8.decode("\xE9", 1, true);
    EXPECT_TRUE(log.lines.empty());

    defaults.set(defaultsKey::verbosity, 1L);
    EXPECT_EQ(utf8.decode("\xE9", 1, true), u"\u00E9");
    CellTextDecoder none(encoding::none, defaults);
    EXPECT_EQ(none.decode("ok", 2, true), u"ok");
    none.decode("", 0, true);  // an empty run decodes nothing and logs nothing
    CellTextDecoder cf(encoding::gbk, defaults);
    cf.decode("\xA1", 1, true);  // a lead byte with nothing after it
    const std::vector<std::string> expected = {
        "unable to make string using encoding 4, trying other encodings",
        "unable to make string using encoding 0, trying other encodings",
        "unable to make string using encoding -2147482591, trying other encodings",
    };
    EXPECT_EQ(log.lines, expected);
}

TEST(CellTextDecoder, documentEncodingComesFirst) {
    InMemoryDefaults defaults;
    // "é" as windows-1252 is one byte; the same byte is not UTF-8.
    CellTextDecoder cp1252(encoding::windows1252, defaults);
    EXPECT_EQ(cp1252.decode("\x80 \xE9", 3, true), u"\u20AC \u00E9");
    // Bytes that are valid in the document's encoding are never tried as UTF-8.
    CellTextDecoder latin1(encoding::isoLatin1, defaults);
    EXPECT_EQ(latin1.decode("\xC3\xA9", 2, true), u"\u00C3\u00A9");
    // Not Shift_JIS: falls back to ISO-8859-1.
    CellTextDecoder sjis(encoding::shiftJIS, defaults);
    EXPECT_EQ(sjis.decode("\x82", 1, true), u"\u0082");
}

}  // namespace
}  // namespace gridmint
