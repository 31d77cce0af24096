#include <gtest/gtest.h>

#include <algorithm>

#include "data/SkinArtworkData.h"
#include "gfx/EmbeddedImage.h"

namespace quil {
namespace {

TEST(SkinArtworkData, EveryImageLoadsWithItsSizePremultipliedAndNotEmpty) {
    SkinArtwork art;
    ASSERT_TRUE(LoadSkinArtwork(art));
    const struct {
        const char* name;
        const Image* image;  // or else
        const Mask* mask;
        int32_t width, height;
    } listed[] = {
        {"linkButtonDark", &art.linkButtonDark, nullptr, 12, 12},
        {"linkButtonLight", &art.linkButtonLight, nullptr, 12, 12},
        {"closeGlyph", nullptr, &art.closeGlyph, 8, 8},
        {"zoomGlyph", nullptr, &art.zoomGlyph, 8, 8},
        {"minimizeGlyph", nullptr, &art.minimizeGlyph, 8, 8},
        {"identifyButton0", &art.identifyButton[0], nullptr, 24, 24},
        {"identifyButton1", &art.identifyButton[1], nullptr, 24, 24},
        {"identifyButton2", &art.identifyButton[2], nullptr, 24, 24},
        {"stopButton0", &art.stopButton[0], nullptr, 24, 24},
        {"stopButton1", &art.stopButton[1], nullptr, 24, 24},
        {"stopButton2", &art.stopButton[2], nullptr, 24, 24},
        {"leftCapMask", nullptr, &art.leftCapMask, 24, 66},
        {"rightCapMask", nullptr, &art.rightCapMask, 24, 66},
        {"leftCapShading", &art.leftCapShading, nullptr, 24, 66},
        {"rightCapShading", &art.rightCapShading, nullptr, 24, 66},
        {"resizeGrip", &art.resizeGrip, nullptr, 16, 16},
    };
    for (const auto& e : listed) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.image ? e.image->bounds() : e.mask->bounds(), (Rect{0, 0, e.width, e.height}));
        bool ink = false;
        for (int32_t y = 0; y < e.height; ++y) {
            for (int32_t x = 0; x < e.width; ++x) {
                const uint32_t p = e.image ? *e.image->At(x, y) : uint32_t{*e.mask->At(x, y)} << 24;
                ink |= p != 0;
                ASSERT_LE(std::max({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF}), p >> 24)
                    << x << "," << y;
            }
        }
        EXPECT_TRUE(ink);
    }
}

// The ends hold the window body: 60 rows with 3 free rows above and below,
// 21 columns at mid-height on the left, the inner edge (tiled across the
// middle from the right end) solid from the first body row (less its top
// sample row) to the last; the right end mirrors the left, and its first
// column runs on without a seam.
TEST(SkinArtworkData, CapsHaveTheBodyShapeAndNoSeam) {
    SkinArtwork loaded;
    ASSERT_TRUE(LoadSkinArtwork(loaded));
    const SkinArtwork& art = loaded;  // wrapped grids are read through the const accessors
    const Mask& left = art.leftCapMask;
    for (int32_t y = 0; y < 66; ++y) {
        int32_t width = 0;
        for (int32_t x = 0; x < 24; ++x) {
            width += *left.At(x, y) != 0;
            ASSERT_EQ(*art.rightCapMask.At(x, y), *left.At(23 - x, y)) << x << "," << y;
        }
        EXPECT_EQ(width, y < 3 || y > 62 ? 0 : y == 32 || y == 33 ? 21 : width) << y;
        EXPECT_EQ(*left.At(23, y), y < 3 || y > 62 ? 0 : y == 3 ? 240 : 255) << y;
        EXPECT_EQ(*art.rightCapShading.At(0, y), *art.rightCapShading.At(1, y)) << y;
        EXPECT_EQ(*art.rightCapShading.At(0, y), *art.leftCapShading.At(23, y)) << y;
    }
}

}  // namespace
}  // namespace quil
