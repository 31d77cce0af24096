#include "platform/ByteReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/ByteCursor.h"

namespace quil {
namespace {

constexpr size_t kMax = std::numeric_limits<size_t>::max();
const uint8_t kBytes[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};

TEST(ByteReaderTest, ContainsIsSafeAgainstHugeOffsetsAndLengths) {
    ByteReader reader(kBytes, sizeof kBytes);
    EXPECT_TRUE(reader.Contains(0, 8));
    EXPECT_TRUE(reader.Contains(8, 0));
    EXPECT_FALSE(reader.Contains(9, 0));
    EXPECT_FALSE(reader.Contains(0, 9));
    EXPECT_FALSE(reader.Contains(kMax, 1));
    EXPECT_FALSE(reader.Contains(1, kMax));
    EXPECT_FALSE(reader.Contains(4, kMax - 3));  // offset + length wraps to 0
    EXPECT_FALSE(reader.Contains(kMax, kMax));
}

TEST(ByteReaderTest, ReadsUpToTheVeryEndAndNoFurther) {
    ByteReader reader(kBytes, sizeof kBytes);
    uint32_t u32 = 7;
    EXPECT_TRUE(reader.ReadU32BE(4, u32));
    EXPECT_EQ(u32, 0x9ABCDEF0u);
    EXPECT_TRUE(reader.ReadU32LE(4, u32));
    EXPECT_EQ(u32, 0xF0DEBC9Au);
    u32 = 7;
    EXPECT_FALSE(reader.ReadU32BE(5, u32));
    EXPECT_FALSE(reader.ReadU32LE(kMax - 1, u32));
    EXPECT_EQ(u32, 7u);  // untouched on failure

    uint16_t u16 = 0;
    EXPECT_TRUE(reader.ReadU16BE(6, u16));
    EXPECT_EQ(u16, 0xDEF0);
    EXPECT_TRUE(reader.ReadU16LE(6, u16));
    EXPECT_EQ(u16, 0xF0DE);
    EXPECT_FALSE(reader.ReadU16BE(7, u16));

    int16_t i16 = 0;
    EXPECT_TRUE(reader.ReadI16BE(6, i16));
    EXPECT_EQ(i16, static_cast<int16_t>(0xDEF0));
    uint8_t u8 = 0;
    EXPECT_TRUE(reader.ReadU8(7, u8));
    EXPECT_EQ(u8, 0xF0);
    EXPECT_FALSE(reader.ReadU8(8, u8));
    int8_t i8 = 0;
    EXPECT_TRUE(reader.ReadI8(7, i8));
    EXPECT_EQ(i8, -16);
}

TEST(ByteReaderTest, NullDataAndSlices) {
    ByteReader none(nullptr, 100);
    EXPECT_EQ(none.size(), 0u);
    uint8_t u8 = 0;
    EXPECT_FALSE(none.ReadU8(0, u8));

    ByteReader reader(kBytes, sizeof kBytes);
    ByteReader slice = reader.Slice(2, 4);
    EXPECT_EQ(slice.data(), kBytes + 2);
    EXPECT_EQ(slice.size(), 4u);
    EXPECT_FALSE(slice.ReadU8(4, u8));
    EXPECT_EQ(reader.Slice(8, 0).size(), 0u);
    EXPECT_EQ(reader.Slice(6, 3).data(), nullptr);
    EXPECT_EQ(reader.Slice(kMax, 2).data(), nullptr);
    EXPECT_EQ(reader.Slice(2, kMax).data(), nullptr);
}

TEST(ByteCursorTest, ReadsInSequence) {
    ByteCursor cursor(ByteReader(kBytes, sizeof kBytes));
    EXPECT_EQ(cursor.U8(), 0x12);
    EXPECT_EQ(cursor.U16BE(), 0x3456);
    EXPECT_EQ(cursor.I8(), 0x78);
    EXPECT_EQ(cursor.U32LE(), 0xF0DEBC9Au);
    EXPECT_TRUE(cursor.ok());
    EXPECT_EQ(cursor.remaining(), 0u);
    EXPECT_EQ(cursor.offset(), 8u);
}

TEST(ByteCursorTest, FailureIsSticky) {
    ByteCursor cursor(ByteReader(kBytes, 5));
    EXPECT_EQ(cursor.U32BE(), 0x12345678u);
    EXPECT_EQ(cursor.U16BE(), 0);  // one byte left: fails
    EXPECT_FALSE(cursor.ok());
    EXPECT_EQ(cursor.U8(), 0);  // would fit, but the cursor has failed
    EXPECT_FALSE(cursor.ok());
    EXPECT_EQ(cursor.remaining(), 0u);
    EXPECT_EQ(cursor.offset(), 4u);
}

TEST(ByteCursorTest, SkipAndStartOffsetsAreChecked) {
    ByteReader reader(kBytes, sizeof kBytes);
    ByteCursor atEnd(reader, 8);
    EXPECT_TRUE(atEnd.ok());
    EXPECT_EQ(atEnd.remaining(), 0u);
    EXPECT_FALSE(ByteCursor(reader, 9).ok());
    EXPECT_EQ(ByteCursor(reader, 9).remaining(), 0u);

    ByteCursor cursor(reader, 2);
    cursor.Skip(4);
    EXPECT_EQ(cursor.U16BE(), 0xDEF0);
    ByteCursor huge(reader, 1);
    huge.Skip(kMax);
    EXPECT_FALSE(huge.ok());
    EXPECT_EQ(huge.U8(), 0);
}

}  // namespace
}  // namespace quil
