#include "SafeFileName.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gridmint::cli {
namespace {

TEST(SafeFileName, stems) {
    struct StemCase {
        const char* name;
        Text tableName;
        std::string stem;
    };
    const std::vector<StemCase> cases = {
        {"plain", u"largest-cities", "largest-cities"},
        {"spacesKeptInside", u"noclass 1", "noclass 1"},
        {"separatorsReplaced", u"a/b\\c", "a_b_c"},
        {"refusedCharacters", u"a:b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
        {"controlsReplaced", u"a\tb\nc", "a_b_c"},
        {"dotDotIsNoPath", u"..", "_."},
        {"leadingDotNotHidden", u".hidden", "_hidden"},
        {"emptyName", u"", "table"},
        {"onlySpaces", u"   ", "table"},
        {"duplicateOfEmptyName", u" (1)", "(1)"},
        {"nonAsciiKept", u"S\u00E3o Paulo \u6771\u4EAC",
         "S\xC3\xA3o Paulo \xE6\x9D\xB1\xE4\xBA\xAC"},
        {"loneSurrogate", u"a\xD800", "a\xEF\xBF\xBD"},
    };
    for (const StemCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(safeFileStem(c.tableName), c.stem);
    }
}

TEST(SafeFileName, longNameCutAtCharacterBoundary) {
    // 199 ASCII bytes, then two-byte characters: the cut must not split one.
    const Text name = Text(199, u'a') + Text(10, u'\u00E9');
    const std::string stem = safeFileStem(name);
    EXPECT_EQ(stem, std::string(199, 'a'));
    EXPECT_LE(safeFileStem(Text(5000, u'x')).size(), maxStemBytes);
}

TEST(SafeFileName, uniqueIgnoringCase) {
    UniqueFileStems stems;
    const std::vector<std::pair<Text, std::string>> sequence = {
        {u"a/b", "a_b"},       {u"a_b", "a_b_2"}, {u"A_B", "A_B_3"},
        {u"a_b_2", "a_b_2_2"}, {u"", "table"},    {u"table", "table_2"},
    };
    for (const auto& [name, expected] : sequence) EXPECT_EQ(stems.next(name), expected);
}

}  // namespace
}  // namespace gridmint::cli
