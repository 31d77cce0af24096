#include "gfx/Compose.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/ComposedReader.h"

namespace quil {
namespace {

TEST(ComposeTest, KnownPairs) {
    EXPECT_EQ(Compose(0x41, 0x300), 0xC0);
    EXPECT_EQ(Compose(0x65, 0x301), 0xE9);
    EXPECT_EQ(Compose(0xFB49, 0x5C1), 0xFB2C);
    // Composition exclusions stay in the table.
    EXPECT_EQ(Compose(0x5D9, 0x5B4), 0xFB1D);
    EXPECT_EQ(Compose(0x915, 0x93C), 0x958);
}

TEST(ComposeTest, EndsOfTheTableAreFound) {
    const CompositionEntry& first = kCompositionTable[0];
    const CompositionEntry& last = kCompositionTable[kCompositionCount - 1];
    EXPECT_EQ(Compose(first.first, first.second), first.composed);
    EXPECT_EQ(Compose(last.first, last.second), last.composed);
    EXPECT_EQ(Compose(0x3C, 0x338), 0x226E);
    EXPECT_EQ(Compose(0xFB49, 0x5C2), 0xFB2D);
}

TEST(ComposeTest, AbsentPairs) {
    EXPECT_EQ(Compose(0x41, 0x42), -1);
    EXPECT_EQ(Compose(0, 0), -1);
    EXPECT_EQ(Compose(0xFFFF, 0xFFFF), -1);  // past the last key
    EXPECT_EQ(Compose(0x3C, 0x337), -1);     // before the first key
    EXPECT_EQ(Compose(0x1100, 0x1161), -1);  // Hangul jamo are not composed
    EXPECT_EQ(Compose(0x1B05, 0x1B35), -1);  // Balinese U+1B06 is left out
    // Code points outside the BMP never compose, even where the low 16 bits would.
    EXPECT_EQ(Compose(0x10041, 0x300), -1);
    EXPECT_EQ(Compose(0x41, 0x10300), -1);
}

TEST(ComposeTest, GeneratedTable) {
    static const uint32_t kBalinese[] = {0x1B06, 0x1B08, 0x1B0A, 0x1B0C, 0x1B0E, 0x1B12,
                                         0x1B3B, 0x1B3D, 0x1B40, 0x1B41, 0x1B43};
    ASSERT_EQ(kCompositionCount, 989u);
    for (size_t i = 0; i < kCompositionCount; ++i) {
        const CompositionEntry& e = kCompositionTable[i];
        if (i > 0) {
            const CompositionEntry& p = kCompositionTable[i - 1];
            EXPECT_LT(uint32_t{p.first} << 16 | p.second, uint32_t{e.first} << 16 | e.second)
                << "entry " << i;
        }
        EXPECT_FALSE(e.composed >= 0xAC00 && e.composed <= 0xD7A3) << "entry " << i;
        for (uint32_t b : kBalinese)
            EXPECT_NE(e.composed, b) << "entry " << i;
        EXPECT_EQ(Compose(e.first, e.second), e.composed);
    }
}

std::vector<uint32_t> ReadComposed(ComposedReader reader) {
    std::vector<uint32_t> out;
    while (!reader.done())
        out.push_back(reader.Next());
    return out;
}

std::vector<uint32_t> ReadComposed(const std::string& bytes) {
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes.data());
    return ReadComposed(ComposedReader(Utf8Decoder(begin, begin + bytes.size())));
}

using V = std::vector<uint32_t>;

TEST(ComposedReaderTest, MarksJoinTheCharacterBefore) {
    EXPECT_EQ(ReadComposed("e\xCC\x81"), (V{0xE9}));
    EXPECT_EQ(ReadComposed("A\xCC\x88\xCC\x84"), (V{0x1DE}));  // A, U+0308, U+0304
    EXPECT_EQ(ReadComposed("xe\xCC\x81y"), (V{'x', 0xE9, 'y'}));
    EXPECT_EQ(ReadComposed("e\xCC\x81\xCC\x81"), (V{0xE9, 0x301}));  // no second join
    // Marks in another order are not reordered: U+0304 then U+0308 stays apart.
    EXPECT_EQ(ReadComposed("A\xCC\x84\xCC\x88"), (V{0x100, 0x308}));
    EXPECT_EQ(ReadComposed("abc"), (V{'a', 'b', 'c'}));
}

TEST(ComposedReaderTest, EdgesOfTheInput) {
    EXPECT_EQ(ReadComposed(""), V{});
    EXPECT_EQ(ReadComposed("\xCC\x81"
                           "a"),
              (V{0x301, 'a'}));                     // a mark at the start
    EXPECT_EQ(ReadComposed("a\xCC"), (V{'a', 0}));  // cut sequence
    EXPECT_EQ(ReadComposed("\xF0\x9F\x8E\xB5\xCC\x81"), (V{0x1F3B5, 0x301}));

    ComposedReader reader(Utf8Decoder::ZeroTerminated(""));
    EXPECT_TRUE(reader.done());
    EXPECT_EQ(reader.Next(), 0u);
}

TEST(ComposedReaderTest, ZeroTerminatedDecomposedEqualsPrecomposed) {
    const V decomposed = ReadComposed(ComposedReader(Utf8Decoder::ZeroTerminated("cafe\xCC\x81")));
    const V precomposed = ReadComposed(ComposedReader(Utf8Decoder::ZeroTerminated("caf\xC3\xA9")));
    EXPECT_EQ(decomposed, (V{'c', 'a', 'f', 0xE9}));
    EXPECT_EQ(decomposed, precomposed);
}

}  // namespace
}  // namespace quil
