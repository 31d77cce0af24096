// The fonts the program meets on Linux: Liberation Sans (Arial's metric
// twin) and DejaVu Sans. Skipped where they are not installed.
#include <gtest/gtest.h>

#include <filesystem>

#include "gfx/Path.h"
#include "gfx/TrueTypeFont.h"
#include "platform/ByteReader.h"
#include "tests/gfx/TestFontBuilder.h"

namespace quil {
namespace {

constexpr const char* kLiberationSans =
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
constexpr const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// numGlyphs from maxp, read apart from the font under test.
uint16_t GlyphCount(const std::vector<uint8_t>& bytes) {
    const ByteReader r(bytes.data(), bytes.size());
    uint16_t tables = 0;
    r.ReadU16BE(4, tables);
    for (size_t i = 0; i < tables; ++i) {
        uint32_t tag = 0;
        uint32_t offset = 0;
        r.ReadU32BE(12 + 16 * i, tag);
        r.ReadU32BE(12 + 16 * i + 8, offset);
        uint16_t count = 0;
        if (tag == 0x6D617870 && r.ReadU16BE(size_t{offset} + 4, count))
            return count;
    }
    return 0;
}

TEST(TrueTypeRealFontTest, LiberationSans) {
    if (!std::filesystem::exists(kLiberationSans))
        GTEST_SKIP() << kLiberationSans;
    TrueTypeFont font;
    ASSERT_EQ(font.Load(kLiberationSans), 0);
    EXPECT_EQ(font.UnitsPerEm(), 2048);
    EXPECT_LT(font.Descent(), -0.1f);
    EXPECT_GT(font.Ascent(), 0.8f);

    const uint32_t a = font.GlyphForUnicode('A');
    ASSERT_NE(a, 0u);
    EXPECT_NEAR(font.Advance(a), 0.667f, 0.001f);
    EXPECT_NEAR(font.Advance(font.GlyphForUnicode(' ')), 0.278f, 0.001f);
    EXPECT_NE(font.GlyphForUnicode(0x20AC), 0u);  // euro sign
    EXPECT_NE(font.GlyphForUnicode(0x00C5), 0u);  // A with ring, a composite
    // The Macintosh Roman map in format 6 serves the 8-bit codes.
    EXPECT_EQ(font.GlyphForByte('A'), a);
    EXPECT_EQ(font.GlyphForByte('z'), font.GlyphForUnicode('z'));
    EXPECT_EQ(font.GlyphForByte(0x80), font.GlyphForUnicode(0x00C4));  // Mac Roman A umlaut

    Path path;
    float scale = 0;
    ASSERT_EQ(font.LoadOutline(a, path, scale), 0);
    EXPECT_FLOAT_EQ(scale, 1.0f / 2048);
    const RealRect bounds = path.Bounds();
    EXPECT_GE(bounds.left, -10);
    EXPECT_LE(bounds.right, 1400);
    EXPECT_NEAR(bounds.top, 0, 1);
    EXPECT_NEAR(bounds.bottom, 1409 + 1, 5);  // cap height

    const uint16_t count = GlyphCount(test::ReadFile(kLiberationSans));
    ASSERT_GT(count, 2000);
    int drawn = 0;
    for (uint32_t g = 0; g < count; ++g) {
        Path outline;
        ASSERT_EQ(font.LoadOutline(g, outline, scale), 0) << g;
        drawn += outline.IsEmpty() ? 0 : 1;
    }
    EXPECT_GT(drawn, 2000);
}

TEST(TrueTypeRealFontTest, DejaVuSans) {
    if (!std::filesystem::exists(kDejaVuSans))
        GTEST_SKIP() << kDejaVuSans;
    TrueTypeFont font;
    ASSERT_EQ(font.Load(kDejaVuSans), 0);
    const uint32_t a = font.GlyphForUnicode('A');
    ASSERT_NE(a, 0u);
    EXPECT_NEAR(font.Advance(a), 0.684f, 0.001f);
    EXPECT_EQ(font.GlyphForByte('A'), a);
    const uint16_t count = GlyphCount(test::ReadFile(kDejaVuSans));
    for (uint32_t g = 0; g < count; ++g) {
        Path outline;
        float scale = 0;
        ASSERT_EQ(font.LoadOutline(g, outline, scale), 0) << g;
    }
}

}  // namespace
}  // namespace quil
