// The cell text buffer: bytes appended one at a time or in runs come out in order, and the
// block after them that the decoder reads stays allocated as the buffer grows (a sanitizer
// build reports a read past it).
#include "CellTextBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace gridmint {
namespace {

std::string tailOf(const PaddedBytes& bytes) {
    return std::string(bytes.data() + bytes.size(), PaddedBytes::readablePastEnd);
}

TEST(CellTextBuffer, emptyBufferHasAZeroTail) {
    const CellTextBuffer buffer;
    const PaddedBytes bytes = buffer.padded();
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(tailOf(bytes), std::string(PaddedBytes::readablePastEnd, '\0'));
}

TEST(CellTextBuffer, growsWithAReadableTail) {
    // A source with 16 readable bytes after every run, so short runs are copied as blocks.
    std::string source;
    for (int i = 0; i < 2000; ++i) source += static_cast<char>('a' + i % 26);
    CellTextBuffer buffer;
    std::string expected;
    for (std::size_t count = 0; expected.size() < 1500; count = (count + 7) % 40) {
        buffer.push_back('#');
        expected += '#';
        buffer.append(source.data(), count, source.size());
        expected.append(source.data(), count);
        const PaddedBytes bytes = buffer.padded();
        ASSERT_EQ(bytes.view(), expected);
        ASSERT_EQ(tailOf(bytes).size(), PaddedBytes::readablePastEnd);
    }
    buffer.clear();
    EXPECT_TRUE(buffer.padded().empty());
}

// Memory the buffer has never written is zero, whatever the allocator hands it: here most
// likely the blocks of the sizes it asks for that were just filled and freed.
TEST(CellTextBuffer, unwrittenTailIsZero) {
    constexpr std::size_t kSizes[] = {256, 512};
    for (const std::size_t size : kSizes) {
        const std::vector<char> dirty(size, '\x55');
    }
    CellTextBuffer buffer;
    for (int i = 0; i < 300; ++i) {
        buffer.push_back('z');
        ASSERT_EQ(tailOf(buffer.padded()), std::string(PaddedBytes::readablePastEnd, '\0'));
    }
}

}  // namespace
}  // namespace gridmint
