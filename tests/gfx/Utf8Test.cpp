#include "gfx/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quil {
namespace {

std::vector<uint32_t> DecodeRange(const std::string& bytes) {
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes.data());
    Utf8Decoder decoder(begin, begin + bytes.size());
    std::vector<uint32_t> out;
    while (!decoder.AtEnd())
        out.push_back(decoder.Next());
    return out;
}

std::vector<uint32_t> DecodeZeroTerminated(const char* text) {
    Utf8Decoder decoder = Utf8Decoder::ZeroTerminated(text);
    std::vector<uint32_t> out;
    while (!decoder.AtEnd())
        out.push_back(decoder.Next());
    return out;
}

using V = std::vector<uint32_t>;

TEST(Utf8DecoderTest, LeadByteTable) {
    EXPECT_EQ(DecodeRange("A\x7F"), (V{0x41, 0x7F}));
    EXPECT_EQ(DecodeRange("\xC3\xA9"), (V{0xE9}));
    EXPECT_EQ(DecodeRange("\xDF\xBF"), (V{0x7FF}));
    EXPECT_EQ(DecodeRange("\xE2\x80\xA6"), (V{0x2026}));
    EXPECT_EQ(DecodeRange("\xEF\xBF\xBF"), (V{0xFFFF}));
    // Four-byte sequences, including lead bytes past 0xF4 that keep only 3 bits.
    EXPECT_EQ(DecodeRange("\xF0\x9F\x8E\xB5"), (V{0x1F3B5}));
    EXPECT_EQ(DecodeRange("\xF4\x8F\xBF\xBF"), (V{0x10FFFF}));
    EXPECT_EQ(DecodeRange("\xFF\xBF\xBF\xBF"), (V{0x1FFFFF}));
    // Overlong forms are taken as they come.
    EXPECT_EQ(DecodeRange("\xC0\x80"), (V{0}));
    EXPECT_EQ(DecodeRange(std::string("a\0b", 3)), (V{'a', 0, 'b'}));
}

TEST(Utf8DecoderTest, ContinuationBytesAreNotChecked) {
    // A stray continuation byte stands alone with its low 7 bits.
    EXPECT_EQ(DecodeRange("\x80\xBF"), (V{0x00, 0x3F}));
    // A "continuation" that is ASCII still gives its low 6 bits and is eaten.
    EXPECT_EQ(DecodeRange("\xC3"
                          "A"
                          "B"),
              (V{0xC1, 'B'}));
}

TEST(Utf8DecoderTest, SequenceCutByTheEndGivesZero) {
    EXPECT_EQ(DecodeRange("a\xC3"), (V{'a', 0}));
    EXPECT_EQ(DecodeRange("a\xE2\x80"), (V{'a', 0}));
    EXPECT_EQ(DecodeRange("\xF0\x9F\x8E"), (V{0}));
    EXPECT_EQ(DecodeRange(""), V{});
    // The range ends before the bytes do: the decoder must not look further.
    const std::string bytes = "\xE2\x80\xA6";
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes.data());
    Utf8Decoder decoder(begin, begin + 2);
    EXPECT_EQ(decoder.Next(), 0u);
    EXPECT_TRUE(decoder.AtEnd());
    EXPECT_EQ(decoder.offset(), 2u);
    EXPECT_EQ(decoder.Next(), 0u);  // and stays there
}

TEST(Utf8DecoderTest, ZeroTerminatedForm) {
    EXPECT_EQ(DecodeZeroTerminated("caf\xC3\xA9"), (V{'c', 'a', 'f', 0xE9}));
    EXPECT_EQ(DecodeZeroTerminated("\xF0\x9F\x8E\xB5!"), (V{0x1F3B5, '!'}));
    EXPECT_EQ(DecodeZeroTerminated(""), V{});
    EXPECT_EQ(DecodeZeroTerminated(nullptr), V{});
    // The terminator inside a sequence ends the input; nothing after it is read.
    const char cut[] = "x\xE2\x80\0\xA6yz";
    EXPECT_EQ(DecodeZeroTerminated(cut), (V{'x', 0}));
    EXPECT_EQ(DecodeZeroTerminated("\xF0"), (V{0}));
}

}  // namespace
}  // namespace quil
