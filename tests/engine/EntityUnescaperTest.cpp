// Reference resolution: which references resolve, which stay as written, and that a forward
// pass agrees with the reference-by-reference rules read from the last "&" back to the first.
#include "EntityUnescaper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "EntityTable.h"
#include "TestSupport.h"
#include "Utf.h"

namespace gridmint {
namespace {

struct Case {
    const char* name;
    std::u16string_view input;
    std::u16string_view expected;
};

constexpr Case kCases[] = {
    // Named references.
    {"namedInText", u"x &copy; 2024 &mdash; y", u"x \u00A9 2024 \u2014 y"},
    {"apos", u"&apos;", u"'"},
    {"longestName", u"&thetasym;", u"\u03D1"},
    {"caseSensitive", u"&AMP;&Amp;", u"&AMP;&Amp;"},
    {"greekCapitalAndSmall", u"&Alpha;&alpha;", u"\u0391\u03B1"},
    {"unknownName", u"&bogus;", u"&bogus;"},
    {"spaceAfterAmpersand", u"& word;", u"& word;"},
    {"oneLetterTooShort", u"&a;", u"&a;"},
    {"emptyName", u"&;", u"&;"},
    {"elevenUnitsTooLong", u"&thetasyms;", u"&thetasyms;"},
    // Each reference on its own; results are never read again.
    {"letterBetween", u"&lt;b&gt;", u"<b>"},
    {"adjacent", u"&lt;&gt;", u"<>"},
    {"oneLevelOnly", u"&amp;lt;", u"&lt;"},
    {"numericAmpersandOneLevel", u"&#38;#65;", u"&#65;"},
    {"semicolonOnlyAfterNextAmpersand", u"&amp&lt;", u"&amp<"},
    {"doubleAmpersand", u"&&lt;", u"&<"},
    {"earlierFailsLaterResolves", u"&amp &amp;", u"&amp &"},
    {"noSemicolon", u"a &amp b", u"a &amp b"},
    {"semicolonWithoutAmpersand", u"a;b", u"a;b"},
    {"semicolonBeyondReach", u"&abcdefghij;", u"&abcdefghij;"},
    // Decimal.
    {"decimal", u"&#65;", u"A"},
    {"decimalLeadingZeros", u"&#0065;", u"A"},
    {"decimalZerosFillTenUnits", u"&#0000065;", u"A"},
    {"decimalElevenUnits", u"&#00000065;", u"&#00000065;"},
    {"eightDigits", u"&#12345678;", u"&#12345678;"},
    {"zero", u"&#0;", u"&#0;"},
    {"one", u"&#1;", u"\u0001"},
    {"controls", u"&#9;&#10;&#13;", u"\t\n\r"},
    {"highestAccepted", u"&#65534;", u"\uFFFE"},
    {"firstRejected", u"&#65535;", u"&#65535;"},
    {"noDigits", u"&#;", u"&#;"},
    {"letterInsideNumber", u"&#6a5;", u"&#6a5;"},
    {"hexDigitsWithoutX", u"&#4F;", u"&#4F;"},
    {"leadingSpace", u"&# 65;", u"&# 65;"},
    {"leadingSign", u"&#+65;&#-1;", u"&#+65;&#-1;"},
    {"trailingSpace", u"&#65 ;", u"&#65 ;"},
    // Hexadecimal.
    {"hexSmallX", u"&#x41;", u"A"},
    {"hexCapitalX", u"&#X41;", u"A"},
    {"hexMixedCaseDigits", u"&#xfF;&#xaB;", u"\u00FF\u00AB"},
    {"hexHighestAccepted", u"&#xFFFE;", u"\uFFFE"},
    {"hexFirstRejected", u"&#xFFFF;", u"&#xFFFF;"},
    {"hexAstral", u"&#x1F600;", u"&#x1F600;"},
    {"hexZero", u"&#x0;", u"&#x0;"},
    {"hexNoDigits", u"&#x;", u"&#x;"},
    {"hexPrefixInsideNumber", u"&#x0x41;", u"&#x0x41;"},
    {"hexNonDigit", u"&#x4G;", u"&#x4G;"},
    {"hexZerosFillTenUnits", u"&#x000041;", u"A"},
    // Lone surrogates are one code unit like any other value.
    {"highSurrogate", u"&#xD800;", u"\xD800"},
    {"lowSurrogateDecimal", u"&#57343;", u"\xDFFF"},
    // Text around and non-ASCII text is kept.
    {"nonAsciiAround", u"\u00E9&eacute;\u4E2D", u"\u00E9\u00E9\u4E2D"},
    {"onlyAmpersands", u"&&&&", u"&&&&"},
};

TEST(EntityUnescaperTest, resolvesOrKeepsEachReference) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(stringByUnescapingFromHTML(c.input), c.expected);
        EXPECT_EQ(unescapeEntities(Text(c.input)), c.expected);
    }
}

TEST(EntityUnescaperTest, textWithoutAmpersandIsNotCopied) {
    Text text(200, u'a');
    text += u"; &#65 no reference";
    text.erase(text.find(u'&'), 1);
    const Text original = text;
    const char16_t* buffer = text.data();
    const Text result = unescapeEntities(std::move(text));
    EXPECT_EQ(result, original);
    EXPECT_EQ(result.data(), buffer);
}

TEST(EntityUnescaperTest, everyTableRowResolvesInsideText) {
    for (const EntityReference& row : entityTable) {
        SCOPED_TRACE(toUtf8(row.reference));
        const Text input = Text(u"[").append(row.reference).append(u"]");
        EXPECT_EQ(stringByUnescapingFromHTML(input), (Text{u'[', row.codeUnit, u']'}));
    }
}

TEST(EntityUnescaperTest, longRunOfAmpersandsStaysUnchanged) {
    const Text ampersands(1 << 20, u'&');
    EXPECT_EQ(unescapeEntities(ampersands), ampersands);
    const Text withEnd = ampersands + u"lt;";
    EXPECT_EQ(unescapeEntities(withEnd), ampersands.substr(1) + u"<");
}

// A numeric reference's value when its number text is bare digits of the base, read by the
// standard library rather than digit by digit.
std::optional<char16_t> modelNumber(std::u16string_view digits, bool hex) {
    const std::u16string_view allowed = hex ? u"0123456789abcdefABCDEF" : u"0123456789";
    if (digits.empty() || digits.find_first_not_of(allowed) != std::u16string_view::npos) {
        return std::nullopt;
    }
    const unsigned long value = std::stoul(toUtf8(digits), nullptr, hex ? 16 : 10);
    if (value < 1 || value > 0xFFFE) return std::nullopt;
    return static_cast<char16_t>(value);
}

// The rules as stated step by step: from the last "&" back to the first, each reference is
// taken up to the first ";" before the previously found "&", and replaced in a copy.
Text resolveBackwards(std::u16string_view source) {
    Text result(source);
    std::size_t limit = source.size();
    for (std::size_t at = source.rfind(u'&'); at != std::u16string_view::npos;
         limit = at, at = at == 0 ? std::u16string_view::npos : source.rfind(u'&', at - 1)) {
        const std::size_t semicolon = source.substr(0, limit).find(u';', at);
        if (semicolon == std::u16string_view::npos) continue;
        const std::u16string_view candidate = source.substr(at, semicolon - at + 1);
        if (candidate.size() < 4 || candidate.size() > 10) continue;
        std::optional<char16_t> unit;
        if (candidate[1] != u'#') {
            unit = lookupEntity(candidate);
        } else if (candidate[2] == u'x' || candidate[2] == u'X') {
            unit = modelNumber(candidate.substr(3, candidate.size() - 4), true);
        } else {
            unit = modelNumber(candidate.substr(2, candidate.size() - 3), false);
        }
        if (unit) result.replace(at, candidate.size(), 1, *unit);
    }
    return result;
}

TEST(EntityUnescaperTest, agreesWithBackwardRulesOnGeneratedText) {
    constexpr std::u16string_view kPieces[] = {u"&", u"&",  u"#",     u"x",   u"X",     u";",
                                               u";", u"lt", u"amp",   u"6",   u"5",     u"0",
                                               u"F", u" ",  u"theta", u"sym", u"\xD800"};
    std::mt19937 random(20240601);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<int> count(0, 16);
    for (int round = 0; round < 20000; ++round) {
        Text input;
        for (int n = count(random); n > 0; --n) input += kPieces[piece(random)];
        SCOPED_TRACE(toUtf8(input));
        ASSERT_EQ(stringByUnescapingFromHTML(input), resolveBackwards(input));
    }
}

// In UTF-8 bytes a character beyond ASCII spans two to four positions, in text one or two;
// a reference must resolve, to the same unit, exactly where it does in the decoded text, and
// the same when the bytes are read in blocks past their end.
TEST(EntityUnescaperTest, bytesAndTextResolveTheSameReferences) {
    constexpr std::string_view kPieces[] = {
        "&",
        "&",
        ";",
        "#",
        "x",
        "lt",
        "amp",
        "6",
        "5",
        "F",
        "\xC3\xA9",
        "\xE2\x82\xAC",
        "thetasym",
        "\xF0\x9F\x98\x80",
        "\xE3\x80\x80",
        std::string_view("\0", 1),
    };
    std::mt19937 random(20240612);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<int> count(0, 12);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        for (int n = count(random); n > 0; --n) bytes += kPieces[piece(random)];
        SCOPED_TRACE(testing::PrintToString(bytes));
        const Text text = fromUtf8(bytes);
        std::size_t unit = 0;
        for (std::size_t byte = 0; byte < bytes.size(); ++byte) {
            const auto lead = static_cast<unsigned char>(bytes[byte]);
            if ((lead & 0xC0) == 0x80) continue;  // a continuation byte adds no unit
            if (bytes[byte] == '&') {
                const auto inBytes = resolveReferenceAt(bytes, byte);
                const auto inText = resolveReferenceAt(text, unit);
                ASSERT_EQ(inBytes.has_value(), inText.has_value()) << "at byte " << byte;
                if (inBytes) {
                    EXPECT_EQ(inBytes->codeUnit, inText->codeUnit);
                    EXPECT_EQ(inBytes->length, inText->length);
                }
                // Read in one block, whatever follows the bytes.
                const char tail = test::kTailBytes[round % std::size(test::kTailBytes)];
                const auto inBlock =
                    resolveReferenceAt(test::PaddedCopy(bytes, tail).bytes(), byte);
                ASSERT_EQ(inBlock.has_value(), inBytes.has_value()) << "at byte " << byte;
                if (inBlock) {
                    EXPECT_EQ(inBlock->codeUnit, inBytes->codeUnit);
                    EXPECT_EQ(inBlock->length, inBytes->length);
                }
            }
            unit += lead >= 0xF0 ? 2 : 1;
        }
    }
}

}  // namespace
}  // namespace gridmint
