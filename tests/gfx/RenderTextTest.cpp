#include "gfx/RenderText.h"

#include <gtest/gtest.h>

#include <string>

#include "gfx/PixelArithmetic.h"
#include "gfx/Rasterizer.h"
#include "gfx/TrueTypeFont.h"
#include "tests/gfx/FakeFont.h"

namespace quil {
namespace {

using testing::FakeFont;

// Upright text of 10 pixels per em on the baseline y = 15: each fake glyph is
// a box 4 pixels wide (x from pen + 0.5 to pen + 4.5) and 6 high (y 9 to 15).
TextStyle Upright(const Font& font, float originX = 2, uint32_t flags = 0) {
    TextStyle style;
    style.font = &font;
    style.m0 = style.m3 = 10;
    style.originX = originX;
    style.originY = 15;
    style.flags = flags;
    return style;
}

Mask MaskOf(const Rect& bounds, uint8_t value) {
    Mask mask;
    EXPECT_TRUE(mask.SetBounds(bounds));
    mask.Fill(value);
    return mask;
}

const Rect kView{0, 0, 40, 20};

TEST(RenderTextTest, CoverageOfTheFakeBoxes) {
    FakeFont font;
    Mask mask = MaskOf(kView, 0x77);
    RenderText(mask, kView, "ab", Upright(font), kView);
    // Inside a box: full; above the boxes and after them: nothing; the
    // boxes' left and right columns are half covered (x = 2.5, 6.5, 7.5, 11.5).
    EXPECT_EQ(*mask.At(4, 12), 255);
    EXPECT_EQ(*mask.At(9, 12), 255);
    EXPECT_EQ(*mask.At(4, 5), 0);
    EXPECT_EQ(*mask.At(12, 12), 0);
    EXPECT_EQ(*mask.At(20, 12), 0);
    for (int32_t x : {2, 6, 7, 11})
        EXPECT_NEAR(*mask.At(x, 12), 128, 8) << x;
}

TEST(RenderTextTest, OnlyClipInsideTheViewIsWritten) {
    FakeFont font;
    const Rect bounds{-5, -5, 60, 30};
    const Rect clip{5, -5, 60, 12};
    Mask mask = MaskOf(bounds, 0x77);
    RenderText(mask, clip, "abcdefghij", Upright(font), kView);
    const Rect area = clip.Intersect(kView);
    bool covered = false;
    for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
        for (int32_t x = bounds.left; x < bounds.right; ++x) {
            const uint8_t v = *mask.At(x, y);
            if (area.Contains(x, y)) {
                covered = covered || v == 255;
            } else {
                EXPECT_EQ(v, 0x77) << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(covered);
    // An empty clip, or one beside the view, writes nothing at all.
    Mask untouched = MaskOf(bounds, 0x77);
    RenderText(untouched, Rect{40, 0, 60, 20}, "abc", Upright(font), kView);
    RenderText(untouched, Rect{5, 5, 5, 10}, "abc", Upright(font), kView);
    for (int32_t y = bounds.top; y < bounds.bottom; ++y)
        for (int32_t x = bounds.left; x < bounds.right; ++x)
            ASSERT_EQ(*untouched.At(x, y), 0x77);
}

TEST(RenderTextTest, EmptyTextClearsTheCache) {
    FakeFont font;
    Mask mask = MaskOf(kView, 0x77);
    RenderText(mask, kView, "", Upright(font, 2, kTextEllipsis), kView);
    for (int32_t y = kView.top; y < kView.bottom; ++y)
        for (int32_t x = kView.left; x < kView.right; ++x)
            ASSERT_EQ(*mask.At(x, y), 0);
}

// A partial render over a sub-clip gives exactly the pixels of a full render
// there, whichever glyphs the sub-clip cuts through, and leaves the rest.
TEST(RenderTextTest, PartialRenderMatchesFullRender) {
    FakeFont font;
    TextStyle style = Upright(font, 1.3f, kTextEllipsis);
    style.m1 = 3;  // slanted, so that edges are partly covered
    const std::string text = "abcdefghijkl";
    Mask full = MaskOf(kView, 0);
    RenderText(full, kView, text, style, kView);
    for (const Rect& sub :
         {Rect{3, 10, 9, 14}, Rect{0, 0, 1, 20}, Rect{17, 2, 40, 13}, Rect{36, 0, 40, 20}}) {
        Mask part = MaskOf(kView, 0x55);
        RenderText(part, sub, text, style, kView);
        for (int32_t y = kView.top; y < kView.bottom; ++y) {
            for (int32_t x = kView.left; x < kView.right; ++x) {
                const uint8_t want = sub.Contains(x, y) ? *full.At(x, y) : 0x55;
                ASSERT_EQ(*part.At(x, y), want) << x << "," << y;
            }
        }
    }
}

TEST(RenderTextTest, ImageRenderingComposesTintedCoverage) {
    FakeFont font;
    TextStyle style = Upright(font);
    style.m1 = 2;
    Mask coverage = MaskOf(kView, 0);
    RenderText(coverage, kView, "abc", style, kView);
    const uint32_t background = 0x80402010;
    for (uint32_t colour : {0xFFFFFFFFu, 0x80406000u}) {
        Image image;
        ASSERT_TRUE(image.SetBounds(kView));
        image.Fill(background);
        const Rect clip{0, 10, 30, 20};
        RenderText(image, clip, colour, "abc", style, kView);
        for (int32_t y = kView.top; y < kView.bottom; ++y) {
            for (int32_t x = kView.left; x < kView.right; ++x) {
                const uint32_t want =
                    clip.Contains(x, y)
                        ? composeOver(background, tintCoverage(*coverage.At(x, y), colour))
                        : background;
                ASSERT_EQ(*image.At(x, y), want) << x << "," << y;
            }
        }
    }
}

// Counts the contours the text fills into it.
class CountingRasterizer : public Rasterizer {
  public:
    using Rasterizer::Rasterizer;
    void BeginContour() override {
        ++contours;
        Rasterizer::BeginContour();
    }
    int contours = 0;
};

TEST(RenderTextTest, GlyphsOutsideTheClipAreNotFilled) {
    FakeFont font;
    const TextLayout layout("abcdef", Upright(font), kView);
    Path work;
    // Boxes span x = 2.5 + 5 i .. 6.5 + 5 i, y 9..15.
    for (const auto& [clip, expected] :
         std::initializer_list<std::pair<Rect, int>>{{Rect{0, 0, 40, 20}, 6},
                                                     {Rect{7, 0, 12, 20}, 1},
                                                     {Rect{6, 0, 13, 20}, 3},
                                                     {Rect{20, 0, 40, 20}, 3},
                                                     {Rect{0, 0, 40, 9}, 0},
                                                     {Rect{0, 16, 40, 20}, 0}}) {
        CountingRasterizer raster(clip, 64);
        FillText(raster, layout, work);
        EXPECT_EQ(raster.contours, expected) << clip.left << ".." << clip.right;
    }
}

constexpr const char* kLiberationSans =
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

TEST(RenderTextTest, RealFontDecomposedAndPrecomposedDrawAlike) {
    TrueTypeFont font;
    if (font.Load(kLiberationSans) != 0)
        GTEST_SKIP() << "no " << kLiberationSans;
    TextStyle style;
    style.font = &font;
    style.m0 = style.m3 = 14;
    style.originX = 2;
    style.originY = 16;
    const Rect view{0, 0, 80, 20};
    Mask decomposed = MaskOf(view, 0);
    Mask precomposed = MaskOf(view, 0);
    RenderText(decomposed, view, "Cafe\xCC\x81 A\xCC\x88\xCC\x84", style, view);
    RenderText(precomposed, view, "Caf\xC3\xA9 \xC7\x9E", style, view);
    int inked = 0;
    for (int32_t y = view.top; y < view.bottom; ++y) {
        for (int32_t x = view.left; x < view.right; ++x) {
            ASSERT_EQ(*decomposed.At(x, y), *precomposed.At(x, y)) << x << "," << y;
            inked += *decomposed.At(x, y) != 0;
        }
    }
    EXPECT_GT(inked, 50);
}

TEST(RenderTextTest, RealFontRepaintsInPiecesMatchOneFullRender) {
    TrueTypeFont font;
    if (font.Load(kLiberationSans) != 0)
        GTEST_SKIP() << "no " << kLiberationSans;
    TextStyle style;
    style.font = &font;
    style.m0 = style.m3 = 13.7f;
    style.m1 = 2.1f;  // oblique
    style.originX = 1.4f;
    style.originY = 15.6f;
    style.flags = kTextEllipsis;
    const Rect view{0, 0, 90, 20};
    const std::string text = "Harkbox: Caf\xC3\xA9 Q&A (remastered) by someone";
    Mask full = MaskOf(view, 0);
    RenderText(full, view, text, style, view);
    // Repaint the view in 7 x 6 pieces, as a window flushing small regions would.
    Mask pieces = MaskOf(view, 0x55);
    for (int32_t top = 0; top < view.bottom; top += 6)
        for (int32_t left = 0; left < view.right; left += 7)
            RenderText(pieces, Rect{left, top, left + 7, top + 6}, text, style, view);
    for (int32_t y = view.top; y < view.bottom; ++y)
        for (int32_t x = view.left; x < view.right; ++x)
            ASSERT_EQ(*pieces.At(x, y), *full.At(x, y)) << x << "," << y;
}

}  // namespace
}  // namespace quil
