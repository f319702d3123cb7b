// Turning collected bytes into cell text: decoding with fallbacks, references, trimming and
// line breaks; that the one-pass decoding agrees with the steps taken one by one; and that
// bytes read in blocks past their end decode as the bytes alone do.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "CellTextDecoder.h"
#include "EntityUnescaper.h"
#include "TestSupport.h"
#include "TextCodec.h"

namespace gridmint {
namespace {

using test::kTailBytes;
using test::LogCapture;
using test::PaddedCopy;

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
    // References are resolved before trimming and flattening, wherever they stand.
    {"nbspReferencesAroundTrimmed", "&nbsp;x&nbsp;&nbsp;", true, u"x"},
    {"nbspReferenceInsideStays", "a&nbsp;b", true, u"a\u00A0b"},
    {"referencedBreaksAtEndsTrimmed", "&#10; &#13;x&#13;&#10;", true, u"x"},
    {"referencedSpacesMergeWithSpaces", "a &#32;&#32;\nb", true, u"a  b"},
    {"referencedBreaksRemovedWithoutSeparators", "a&#13;&#10; b", false, u"a b"},
    {"referencedIdeographicSpaceTrimmed", "&#x3000;x&#12288;", true, u"x"},
    {"referencedTabAfterSpacesTrimmed", "x  &#9;", true, u"x"},
    {"referencedAmpersandNotResolvedAgain", " &amp;lt; ", true, u"&lt;"},
    {"unclosedReferenceAtEnd", "x &amp", true, u"x &amp"},
    {"nonAsciiInsideCandidateStays", "&\xC3\xA9;&#x\xC3\xA9;", true, u"&\u00E9;&#x\u00E9;"},
    {"candidateLongInBytesShortInUnits", "&\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC;", true,
     u"&\u20AC\u20AC\u20AC;"},
    {"astralCharacterBesideReference", "\xF0\x9F\x98\x80&lt;", true, u"\U0001F600<"},
    {"invalidUtf8WithReferenceFallsBackToLatin1", "&eacute;\xE9", true, u"\u00E9\u00E9"},
};

TEST(CellTextDecoder, decodesTrimsAndFlattens) {
    InMemoryDefaults defaults;
    CellTextDecoder decoder(encoding::utf8, defaults);
    for (const auto& c : decodeCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decoder.decode(c.bytes.data(), c.bytes.size(), c.returnsAreSeparators),
                  c.expected);
        const PaddedCopy padded(c.bytes, 'x');
        EXPECT_EQ(decoder.decode(padded.bytes(), c.returnsAreSeparators), c.expected);
    }
}

// The bytes with a readable tail, whatever the tail holds, decode as the bytes alone do.
void expectTailChangesNothing(CellTextDecoder& decoder, std::string_view bytes) {
    for (const bool separators : {true, false}) {
        const Text expected = decoder.decode(bytes.data(), bytes.size(), separators);
        for (const char tail : kTailBytes) {
            SCOPED_TRACE(testing::Message()
                         << "separators " << separators << ", tail " << testing::PrintToString(tail)
                         << ": " << testing::PrintToString(bytes));
            ASSERT_EQ(decoder.decode(PaddedCopy(bytes, tail).bytes(), separators), expected);
        }
    }
}

// Everything that ends a stretch read as one block, or that must not end one, put at every
// distance from the start of the text, so that it falls before, on and after each edge of a
// 16-byte block: white space and line breaks, references and their parts, characters of two
// to four bytes, White_Space beyond ASCII, and bytes that are not UTF-8.
TEST(CellTextDecoder, readableTailChangesNothingAtBlockEdges) {
    constexpr std::string_view kPieces[] = {
        " ",
        "  ",
        "\n",
        "\r\n",
        "\t",
        "&amp;",
        "&nbsp;",
        "&#32;",
        "&#10;",
        "&euro;",
        "&",
        "&lt",
        ";",
        "\xC3\xA9",
        "\xE2\x82\xAC",
        "\xF0\x9F\x98\x80",
        "\xC2\xA0",
        "\xE3\x80\x80",
        "\xFF",
        "\xC3",
        " x ",
    };
    constexpr std::string_view kLeads[] = {"", " ", " \n \n \n  ", "\t\t"};
    constexpr std::string_view kTrails[] = {"", " ", " \n", "&nbsp;"};
    constexpr std::size_t kAfter[] = {0, 1, 2, 17};
    // Text before the piece: plain, or characters of two bytes, which move it by two.
    constexpr std::string_view kFillers[] = {"a", "\xC3\xA9"};
    InMemoryDefaults defaults;
    CellTextDecoder decoder(encoding::utf8, defaults);
    for (const std::string_view piece : kPieces) {
        for (const std::string_view filler : kFillers) {
            std::string before;
            for (std::size_t count = 0; count <= 20; ++count, before += filler) {
                for (const std::size_t after : kAfter) {
                    for (const std::string_view lead : kLeads) {
                        for (const std::string_view trail : kTrails) {
                            const std::string bytes = std::string(lead) + before +
                                                      std::string(piece) + std::string(after, 'b') +
                                                      std::string(trail);
                            expectTailChangesNothing(decoder, bytes);
                        }
                    }
                }
            }
        }
    }
}

// Runs of every length from 0 to 40: white space only, text only, words, and the first bytes
// of a mixed run (some cut inside a character, which sends them down the fallback road).
TEST(CellTextDecoder, readableTailChangesNothingForEveryLength) {
    const std::string mixed =
        " \n Zo\xC3\xAB  &amp; \xC3\x98"
        "degaard&nbsp;\r\n\t x&#32;y\xE2\x82\xAC"
        "z  \xF0\x9F\x98\x80!";
    InMemoryDefaults defaults;
    for (const TextEncoding encoding : {encoding::utf8, encoding::windows1252}) {
        CellTextDecoder decoder(encoding, defaults);
        for (std::size_t length = 0; length <= 40; ++length) {
            std::string words;
            for (std::size_t i = 0; i < length; ++i) words += i % 3 == 2 ? ' ' : 'w';
            for (const std::string& bytes :
                 {std::string(length, ' '), std::string(length, '\n'), std::string(length, 'a'),
                  words, mixed.substr(0, length)}) {
                expectTailChangesNothing(decoder, bytes);
            }
        }
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

// Every unit a reference can give, and every character of the first plane written as UTF-8,
// at both ends and inside: trimmed exactly when it is White_Space.
TEST(CellTextDecoder, everyUnitIsTrimmedExactlyWhenWhiteSpace) {
    InMemoryDefaults defaults;
    CellTextDecoder decoder(encoding::utf8, defaults);
    for (char16_t unit = 1; unit <= 0xFFFE; ++unit) {
        const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
        const std::string reference = "&#" + std::to_string(unit) + ";";
        const std::string written = surrogate ? reference : toUtf8(Text(1, unit));
        const Text atEnds = isWhiteSpace(unit) ? u"x" : Text{unit, u'x', unit};
        const Text inside = unit == u'\r' || unit == u'\n' ? u"a b" : Text{u'a', unit, u'b'};
        for (const std::string& bytes : {reference, written}) {
            SCOPED_TRACE(testing::PrintToString(bytes));
            const std::string ends = bytes + "x" + bytes;
            const std::string middle = "a" + bytes + "b";
            ASSERT_EQ(decoder.decode(ends.data(), ends.size(), true), atEnds);
            ASSERT_EQ(decoder.decode(middle.data(), middle.size(), true), inside);
        }
    }
}

// The steps as stated, one after the other on whole texts: decode (falling back to ISO-8859-1),
// resolve references, trim, then replace CR, then LF, then each pair of spaces from the left.
Text stepByStep(std::string_view bytes, TextEncoding encoding, bool returnsAreSeparators) {
    const auto decoded = decodeBytes(bytes, encoding);
    Text text = stringByUnescapingFromHTML(decoded ? *decoded : decodeLatin1(bytes));
    while (!text.empty() && isWhiteSpace(text.back())) text.pop_back();
    text.erase(0, std::find_if_not(text.begin(), text.end(), isWhiteSpace) - text.begin());
    Text flat;
    for (const char16_t c : text) {
        if (c != u'\r' && c != u'\n') {
            flat += c;
        } else if (returnsAreSeparators) {
            flat += u' ';
        }
    }
    if (!returnsAreSeparators) return flat;
    Text merged;
    for (size_t i = 0; i < flat.size(); ++i) {
        merged += flat[i];
        if (flat[i] == u' ' && i + 1 < flat.size() && flat[i + 1] == u' ') ++i;
    }
    return merged;
}

// Runs built from pieces chosen to meet at the edges that matter: references that give white
// space or line breaks beside real ones and at either end, candidates holding characters of
// two, three and four bytes, unclosed and nested ampersands, and now and then a byte that is
// not UTF-8, which sends the whole run down the fallback road.
TEST(CellTextDecoder, onePassAgreesWithStepByStep) {
    constexpr std::string_view kPieces[] = {
        " ",
        "  ",
        "\r",
        "\n",
        "\t",
        "a",
        "Z",
        "9",
        "\xC3\xA9",
        "\xC2\xA0",
        "\xE3\x80\x80",
        "\xE2\x82\xAC",
        "\xF0\x9F\x98\x80",
        "&",
        ";",
        "#",
        "x",
        "&nbsp;",
        "&#32;",
        "&#10;",
        "&#13;",
        "&#x3000;",
        "&#9;",
        "&amp;",
        "&lt;",
        "lt;",
        "&#xD800;",
        "&thetasym;",
        "\xFF",
        "\x0B",
    };
    constexpr TextEncoding kEncodings[] = {encoding::utf8, encoding::windows1252};
    InMemoryDefaults defaults;
    std::mt19937 random(20240611);
    std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<int> count(0, 10);
    for (const TextEncoding encoding : kEncodings) {
        CellTextDecoder decoder(encoding, defaults);
        for (int round = 0; round < 20000; ++round) {
            std::string bytes;
            for (int n = count(random); n > 0; --n) bytes += kPieces[piece(random)];
            const bool separators = round % 2 == 0;
            SCOPED_TRACE(testing::Message() << "encoding " << encoding << ", separators "
                                            << separators << ": " << testing::PrintToString(bytes));
            const Text expected = stepByStep(bytes, encoding, separators);
            ASSERT_EQ(decoder.decode(bytes.data(), bytes.size(), separators), expected);
            const PaddedCopy padded(bytes, kTailBytes[round % std::size(kTailBytes)]);
            ASSERT_EQ(decoder.decode(padded.bytes(), separators), expected);
        }
    }
}

}  // namespace
}  // namespace gridmint
