#include "platform/ByteReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/ByteCursor.h"
#include "platform/Rect.h"

namespace quil {
namespace {

constexpr size_t kMax = std::numeric_limits<size_t>::max();
const uint8_t kBytes[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};

TEST(ByteReaderTest, ReadsUpToTheVeryEndAndNoFurtherWhateverTheOffset) {
    const ByteReader reader(kBytes, sizeof kBytes);
    const struct {
        size_t offset, length;
        bool inside;
    } cases[] = {
        {0, 8, true},     {8, 0, true},     {9, 0, false},       {0, 9, false},
        {kMax, 1, false}, {1, kMax, false}, {4, kMax - 3, false} /* offset + length wraps to 0 */};
    for (const auto& c : cases)
        EXPECT_EQ(reader.Contains(c.offset, c.length), c.inside) << c.offset << "+" << c.length;

    uint32_t u32 = 7;
    EXPECT_TRUE(reader.ReadU32BE(4, u32) && u32 == 0x9ABCDEF0u);
    EXPECT_TRUE(reader.ReadU32LE(4, u32) && u32 == 0xF0DEBC9Au);
    u32 = 7;
    EXPECT_FALSE(reader.ReadU32BE(5, u32));
    EXPECT_FALSE(reader.ReadU32LE(kMax - 1, u32));
    EXPECT_EQ(u32, 7u);  // untouched on failure
    uint16_t u16 = 0;
    EXPECT_TRUE(reader.ReadU16BE(6, u16) && u16 == 0xDEF0);
    EXPECT_TRUE(reader.ReadU16LE(6, u16) && u16 == 0xF0DE);
    EXPECT_FALSE(reader.ReadU16BE(7, u16));
    int16_t i16 = 0;
    EXPECT_TRUE(reader.ReadI16BE(6, i16) && i16 == static_cast<int16_t>(0xDEF0));
    uint8_t u8 = 0;
    EXPECT_TRUE(reader.ReadU8(7, u8) && u8 == 0xF0);
    EXPECT_FALSE(reader.ReadU8(8, u8));
    int8_t i8 = 0;
    EXPECT_TRUE(reader.ReadI8(7, i8) && i8 == -16);

    EXPECT_EQ(ByteReader(nullptr, 100).size(), 0u);
    const ByteReader slice = reader.Slice(2, 4);
    EXPECT_EQ(slice.data(), kBytes + 2);
    EXPECT_FALSE(slice.ReadU8(4, u8));
    EXPECT_EQ(reader.Slice(6, 3).data(), nullptr);
}

TEST(ByteCursorTest, ReadsInSequenceAndFailureIsSticky) {
    ByteCursor cursor(ByteReader(kBytes, sizeof kBytes));
    EXPECT_EQ(cursor.U8(), 0x12);
    EXPECT_EQ(cursor.U16BE(), 0x3456);
    EXPECT_EQ(cursor.I8(), 0x78);
    EXPECT_EQ(cursor.U32LE(), 0xF0DEBC9Au);
    EXPECT_TRUE(cursor.ok());

    ByteCursor failing(ByteReader(kBytes, 5));
    EXPECT_EQ(failing.U32BE(), 0x12345678u);
    EXPECT_EQ(failing.U16BE(), 0);  // one byte left: fails
    EXPECT_EQ(failing.U8(), 0);     // would fit, but the cursor has failed
    EXPECT_FALSE(failing.ok());
    EXPECT_EQ(failing.remaining(), 0u);
    EXPECT_EQ(failing.offset(), 4u);

    const ByteReader reader(kBytes, sizeof kBytes);
    EXPECT_TRUE(ByteCursor(reader, 8).ok());
    EXPECT_FALSE(ByteCursor(reader, 9).ok());
    ByteCursor skipping(reader, 2);
    skipping.Skip(4);
    EXPECT_EQ(skipping.U16BE(), 0xDEF0);
    ByteCursor huge(reader, 1);
    huge.Skip(kMax);
    EXPECT_FALSE(huge.ok());
    EXPECT_EQ(huge.U8(), 0);
}

TEST(RectTest, SizedKeepsTheSizeAndTheFarEdgesRepresentable) {
    EXPECT_EQ(Rect::Sized(10, 20, 30, 40), (Rect{10, 20, 40, 60}));
    EXPECT_EQ(Rect::Sized(INT32_MAX, 0, 10, 1), (Rect{INT32_MAX - 10, 0, INT32_MAX, 1}));
    EXPECT_FALSE((Rect{0, 0, 1, 1}.IsEmpty()));
    EXPECT_TRUE((Rect{0, 0, 0, 5}.IsEmpty()));
    EXPECT_TRUE((Rect{0, 0, 5, 0}.IsEmpty()));
}

}  // namespace
}  // namespace quil
