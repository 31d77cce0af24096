#include "gfx/Skin.h"

#include <gtest/gtest.h>

#include "gfx/PixelArithmetic.h"
#include "tests/gfx/CompositingTestSupport.h"

namespace quil {
namespace {

using gfxtest::FillWith;
using gfxtest::Pixels;

Mask FullMask(const Rect& bounds) {
    Mask mask;
    mask.SetBounds(bounds);
    mask.Fill(255);
    return mask;
}

Image Transparent(const Rect& bounds) {
    Image image;
    image.SetBounds(bounds);
    image.Fill(0);
    return image;
}

// Synthetic artwork: full cap masks, transparent shading, glyphs with a
// coverage ramp.
SkinArtwork Artwork() {
    SkinArtwork art;
    art.leftCapMask = FullMask(Rect{0, 0, 24, 66});
    art.rightCapMask = FullMask(Rect{0, 0, 24, 66});
    art.leftCapShading = Transparent(Rect{0, 0, 24, 66});
    art.rightCapShading = Transparent(Rect{0, 0, 24, 66});
    for (Mask* glyph : {&art.closeGlyph, &art.zoomGlyph, &art.minimizeGlyph}) {
        glyph->SetBounds(Rect{0, 0, 8, 8});
        FillWith(*glyph, [](int32_t x, int32_t y) { return static_cast<uint8_t>(x * 32 + y * 4); });
    }
    *art.closeGlyph.At(7, 7) = 255;
    return art;
}

TEST(SkinTest, FullMasksGiveTheBackgroundColourExactly) {
    Skin skin;
    ASSERT_TRUE(skin.Build(Artwork(), Skin::kBackgroundColour, Skin::kBackgroundOpacity,
                           Skin::kControlColour));
    EXPECT_EQ(skin.leftEnd().bounds(), (Rect{0, 0, 24, 66}));
    EXPECT_EQ(Pixels(skin.leftEnd()), std::vector<uint32_t>(24 * 66, 0xFF5D38C7));
    EXPECT_EQ(Pixels(skin.rightEnd()), std::vector<uint32_t>(24 * 66, 0xFF5D38C7));
}

TEST(SkinTest, ShadingIsComposedOverTheTintedEnd) {
    SkinArtwork art = Artwork();
    *art.leftCapMask.At(0, 0) = 0;              // outside the body
    *art.leftCapMask.At(1, 0) = 128;            // soft edge
    *art.leftCapShading.At(2, 0) = 0x80000000;  // translucent black rim
    *art.rightCapShading.At(23, 65) = 0xFFFFFFFF;
    Skin skin;
    ASSERT_TRUE(skin.Build(art, 0xFF5D38C7, 1.0f, 0xFFFFFFFF));
    EXPECT_EQ(*skin.leftEnd().At(0, 0), 0u);
    EXPECT_EQ(*skin.leftEnd().At(1, 0), 0x802E1C63u);
    EXPECT_EQ(*skin.leftEnd().At(2, 0), composeOver(0xFF5D38C7, 0x80000000));
    EXPECT_EQ(*skin.leftEnd().At(2, 0), 0xFF2E1B63u);
    EXPECT_EQ(*skin.rightEnd().At(23, 65), 0xFFFFFFFFu);
}

TEST(SkinTest, BackgroundOpacityIsTruncatedToAByte) {
    Skin half;
    ASSERT_TRUE(half.Build(Artwork(), 0xFF5D38C7, 0.5f, 0xFFFFFFFF));  // 127.5 -> 127
    EXPECT_EQ(*half.leftEnd().At(5, 5), composeScaled(0, 0xFF5D38C7, 127));
    // Nothing is written at opacity 0: the fresh image stays transparent.
    Skin none;
    ASSERT_TRUE(none.Build(Artwork(), 0xFF5D38C7, 0.0f, 0xFFFFFFFF));
    EXPECT_EQ(Pixels(none.leftEnd()), std::vector<uint32_t>(24 * 66, 0));
}

TEST(SkinTest, GlyphImagesAtThreeStrengths) {
    const SkinArtwork art = Artwork();
    Skin skin;
    ASSERT_TRUE(skin.Build(art, Skin::kBackgroundColour, 1.0f, Skin::kControlColour));
    const std::pair<Skin::Strength, uint32_t> strengths[] = {
        {Skin::kFaint, 63}, {Skin::kFull, 255}, {Skin::kHalf, 127}};
    for (const auto& [strength, opacity] : strengths) {
        const Image& close = skin.close(strength);
        ASSERT_EQ(close.bounds(), (Rect{0, 0, 8, 8}));
        EXPECT_FALSE(&close == &skin.zoom(strength));
        for (int32_t y = 0; y < 8; ++y) {
            for (int32_t x = 0; x < 8; ++x) {
                const uint32_t tint = tintCoverage(*art.closeGlyph.At(x, y), 0xFFFFFFFF);
                const uint32_t want = opacity == 255 ? tint : composeScaled(0, tint, opacity);
                ASSERT_EQ(*close.At(x, y), want) << x << "," << y;
            }
        }
        EXPECT_EQ(Pixels(skin.zoom(strength)), Pixels(skin.minimize(strength)));
    }
    EXPECT_EQ(*skin.close(Skin::kFaint).At(7, 7), 0x3F3F3F3Fu);
    EXPECT_EQ(*skin.close(Skin::kFull).At(7, 7), 0xFFFFFFFFu);
    EXPECT_EQ(*skin.close(Skin::kHalf).At(7, 7), 0x7F7F7F7Fu);
}

TEST(SkinTest, MissingArtworkFailsTheBuild) {
    SkinArtwork art = Artwork();
    art.zoomGlyph.Release();
    Skin skin;
    EXPECT_FALSE(skin.Build(art, Skin::kBackgroundColour, 1.0f, Skin::kControlColour));
    // What was built before stays usable.
    EXPECT_EQ(*skin.leftEnd().At(0, 0), 0xFF5D38C7u);
}

}  // namespace
}  // namespace quil
