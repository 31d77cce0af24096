#include <gtest/gtest.h>

#include "gfx/Compositing.h"
#include "gfx/PixelArithmetic.h"
#include "tests/gfx/CompositingTestSupport.h"

namespace quil {
namespace {

using gfxtest::Pixels;

// One row of masks at the edge coverages and one destination pixel each.
constexpr uint8_t kCoverages[] = {0, 1, 127, 254, 255};
constexpr uint32_t kColour = 0xFF5D38C7;
constexpr uint32_t kDst = 0x80402010;

Mask CoverageRow() {
    Mask mask;
    mask.SetBounds(Rect{0, 0, 5, 1});
    for (int32_t x = 0; x < 5; ++x)
        *mask.At(x, 0) = kCoverages[x];
    return mask;
}

Image Filled(const Rect& bounds, uint32_t value) {
    Image image;
    image.SetBounds(bounds);
    image.Fill(value);
    return image;
}

TEST(CompositingOperationsTest, WriteEntryByOpacity) {
    const Mask mask = CoverageRow();
    auto write = [&](uint32_t opacity) {
        Image dst = Filled(Rect{0, 0, 5, 1}, kDst);
        writeMaskColour(dst, dst.bounds(), Point{}, mask, mask.bounds(), Point{}, kColour, opacity);
        return Pixels(dst);
    };
    // Nothing at all at opacity 0, even under full coverage.
    EXPECT_EQ(write(0), std::vector<uint32_t>(5, kDst));
    // 255 and above: the tint replaces the destination; no coverage gives 0.
    const std::vector<uint32_t> full = {0, 0x01000000, 0x7F2E1B63, 0xFE5C37C6, kColour};
    EXPECT_EQ(write(255), full);
    EXPECT_EQ(write(300), full);
    EXPECT_EQ(write(UINT32_MAX), full);
    // In between: the scaled tint over nothing; the destination is not blended in.
    EXPECT_EQ(write(254), (std::vector<uint32_t>{0, 0, 0x7E2D1A62, 0xFD5B36C5, 0xFE5C37C6}));
    EXPECT_EQ(write(1), (std::vector<uint32_t>{0, 0, 0, 0, 0x01000000}));
}

TEST(CompositingOperationsTest, OverMaskColourKeepsUncoveredPixels) {
    const Mask mask = CoverageRow();
    Image dst = Filled(Rect{0, 0, 5, 1}, kDst);
    overMaskColour(dst, dst.bounds(), Point{}, mask, mask.bounds(), Point{}, kColour);
    const auto got = Pixels(dst);
    EXPECT_EQ(got[0], kDst);
    EXPECT_EQ(got[1], composeOver(kDst, 0x01000000));
    EXPECT_EQ(got[1], 0x813F1F0Fu);  // 254 * c / 255 each, alpha 0x80 + 1 - 0
    EXPECT_EQ(got[4], kColour);
}

TEST(CompositingOperationsTest, BlendMaskColourByOpacity) {
    const Mask mask = CoverageRow();
    auto blend = [&](uint32_t opacity) {
        Image dst = Filled(Rect{0, 0, 5, 1}, kDst);
        blendMaskColour(dst, dst.bounds(), Point{}, mask, mask.bounds(), Point{}, kColour, opacity);
        return Pixels(dst);
    };
    EXPECT_EQ(blend(0), std::vector<uint32_t>(5, kDst));
    const auto full = blend(255);
    EXPECT_EQ(full[0], kDst);
    EXPECT_EQ(full[4], kColour);
    // Opacities beyond 255 act as 255 instead of overflowing the arithmetic.
    EXPECT_EQ(blend(300), full);
    EXPECT_EQ(blend(UINT32_MAX), full);
    EXPECT_EQ(blend(1)[4], composeScaled(kDst, kColour, 1));
    EXPECT_EQ(blend(254)[3], composeScaled(kDst, tintCoverage(254, kColour), 254));
}

TEST(CompositingOperationsTest, ImageOperationsAtEdgeAlphas) {
    Image src;
    src.SetBounds(Rect{0, 0, 4, 1});
    const uint32_t pixels[] = {0x00000000, 0x01010000, 0xFE00FE00, 0xFF123456};
    for (int32_t x = 0; x < 4; ++x)
        *src.At(x, 0) = pixels[x];
    Image copy = Filled(Rect{0, 0, 4, 1}, kDst);
    copyImage(copy, copy.bounds(), Point{}, src, src.bounds(), Point{});
    EXPECT_EQ(Pixels(copy), std::vector<uint32_t>(pixels, pixels + 4));
    Image over = Filled(Rect{0, 0, 4, 1}, kDst);
    overImage(over, over.bounds(), Point{}, src, src.bounds(), Point{});
    EXPECT_EQ(Pixels(over), (std::vector<uint32_t>{kDst, 0x81401F0F, 0xFF00FE00, 0xFF123456}));
}

TEST(CompositingOperationsTest, FillRectClipsToTheImage) {
    Image image = Filled(Rect{-2, -2, 2, 2}, 7);
    fillRect(image, Rect{0, -10, 10, 0}, 9);
    fillRect(image, Rect{5, 5, 1, 1}, 8);  // inverted: nothing
    EXPECT_EQ(Pixels(image),
              (std::vector<uint32_t>{7, 7, 9, 9, 7, 7, 9, 9, 7, 7, 7, 7, 7, 7, 7, 7}));
}

TEST(CompositingOperationsTest, CopyWithinOneGrid) {
    Mask mask;
    mask.SetBounds(Rect{0, 0, 6, 1});
    for (int32_t x = 0; x < 6; ++x)
        *mask.At(x, 0) = static_cast<uint8_t>(x);
    copyMask(mask, mask.bounds(), Point{1, 0}, mask, Rect{0, 0, 4, 1}, Point{0, 0});
    EXPECT_EQ(Pixels(mask), (std::vector<uint8_t>{0, 0, 1, 2, 3, 5}));
}

TEST(CompositingOperationsTest, MaskResizeKeepsOverlappingContent) {
    Mask mask;
    ASSERT_TRUE(mask.SetBounds(Rect{0, 0, 100, 3}));
    gfxtest::FillWith(mask,
                      [](int32_t x, int32_t y) { return static_cast<uint8_t>(x + 100 * y + 1); });

    Mask narrow;
    narrow.SetBounds(mask.bounds());
    copyMask(narrow, narrow.bounds(), Point{}, mask, mask.bounds(), Point{});
    ASSERT_TRUE(narrow.ResizeKeepingContent(Rect{0, 0, 60, 3}));
    EXPECT_EQ(narrow.bounds(), (Rect{0, 0, 60, 3}));
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 60; ++x)
            ASSERT_EQ(*narrow.At(x, y), *mask.At(x, y));
    }

    Mask wide;
    wide.SetBounds(mask.bounds());
    copyMask(wide, wide.bounds(), Point{}, mask, mask.bounds(), Point{});
    ASSERT_TRUE(wide.ResizeKeepingContent(Rect{0, 0, 140, 3}));
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 140; ++x)
            ASSERT_EQ(*wide.At(x, y), x < 100 ? *mask.At(x, y) : 0);
    }

    // Moving the origin keeps pixels at their coordinates, not their offsets.
    Mask moved;
    moved.SetBounds(mask.bounds());
    copyMask(moved, moved.bounds(), Point{}, mask, mask.bounds(), Point{});
    ASSERT_TRUE(moved.ResizeKeepingContent(Rect{-10, 1, 20, 5}));
    for (int32_t y = 1; y < 5; ++y) {
        for (int32_t x = -10; x < 20; ++x) {
            const uint8_t want = (x >= 0 && y < 3) ? *mask.At(x, y) : 0;
            ASSERT_EQ(*moved.At(x, y), want) << x << "," << y;
        }
    }

    // A refused rectangle leaves the mask as it was.
    EXPECT_FALSE(moved.ResizeKeepingContent(Rect{0, 0, 0, 40}));
    EXPECT_EQ(moved.bounds(), (Rect{-10, 1, 20, 5}));
    EXPECT_EQ(*moved.At(5, 2), *mask.At(5, 2));
}

}  // namespace
}  // namespace quil
