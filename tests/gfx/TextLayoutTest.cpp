#include "gfx/TextLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/gfx/FakeFont.h"

namespace quil {
namespace {

using testing::FakeFont;
using V = std::vector<uint32_t>;

// Upright text of 10 pixels per em: each default character advances 5 pixels.
TextStyle Upright(const Font& font, float originX = 0, float originY = 15, uint32_t flags = 0) {
    TextStyle style;
    style.font = &font;
    style.m0 = style.m3 = 10;
    style.originX = originX;
    style.originY = originY;
    style.flags = flags;
    return style;
}

struct Drawn {
    V codePoints;
    std::vector<float> penX;
    std::vector<float> penY;
    std::vector<RealRect> bounds;
};

Drawn Place(const TextLayout& layout) {
    Drawn drawn;
    Path work;
    layout.Place(work, [&](const PlacedGlyph& placed, const Path& outline) {
        drawn.codePoints.push_back(placed.codePoint);
        drawn.penX.push_back(placed.penX);
        drawn.penY.push_back(placed.penY);
        drawn.bounds.push_back(outline.Bounds());
    });
    return drawn;
}

const Rect kView{0, 0, 30, 20};

TEST(TextLayoutTest, EllipsisOnlyWhenTheLineDoesNotFit) {
    FakeFont font;
    // "abc" ends at x = 17, inside the view: drawn in full despite bit 2.
    const TextLayout fits("abc", Upright(font, 2, 15, kTextEllipsis), kView);
    EXPECT_EQ(fits.cutIndex(), -1);
    EXPECT_EQ(Place(fits).codePoints, (V{'a', 'b', 'c'}));

    // Ten characters end at 52; with the ellipsis (0.5 em) the first k + 1
    // characters end at 2 + 5 (k + 2), inside for k <= 3.
    const TextLayout cut("abcdefghij", Upright(font, 2, 15, kTextEllipsis), kView);
    EXPECT_EQ(cut.cutIndex(), 3);
    const Drawn drawn = Place(cut);
    EXPECT_EQ(drawn.codePoints, (V{'a', 'b', 'c', 'd', kEllipsis}));
    EXPECT_EQ(drawn.penX, (std::vector<float>{2, 7, 12, 17, 22}));

    // Without bit 2 the same line is drawn in full (and clipped).
    const TextLayout plain("abcdefghij", Upright(font, 2, 15), kView);
    EXPECT_EQ(plain.cutIndex(), -1);
    EXPECT_EQ(Place(plain).codePoints.size(), 10u);

    // The end point is tested on both axes: a baseline below the view also cuts.
    const TextLayout below("abc", Upright(font, 2, 25, kTextEllipsis), kView);
    EXPECT_EQ(below.cutIndex(), -1);  // no cut point is inside either: in full
}

TEST(TextLayoutTest, LastCharacterIsNeverKeptWithTheEllipsis) {
    FakeFont font;
    font.advances[kEllipsis] = -0.2f;  // an ellipsis that would let "abc…" fit
    // "abc" ends at x = 15, just outside a view 15 wide; "abc…" would end at
    // 13, but at most two characters stay.
    const TextLayout layout("abc", Upright(font, 0, 15, kTextEllipsis), Rect{0, 0, 15, 20});
    EXPECT_EQ(layout.cutIndex(), 1);
    EXPECT_EQ(Place(layout).codePoints, (V{'a', 'b', kEllipsis}));
}

TEST(TextLayoutTest, TooNarrowForOneCharacterAndEllipsisDrawsInFull) {
    FakeFont font;
    const TextLayout layout("abc", Upright(font, 0, 15, kTextEllipsis), Rect{0, 0, 8, 20});
    EXPECT_EQ(layout.cutIndex(), -1);
    EXPECT_EQ(Place(layout).codePoints, (V{'a', 'b', 'c'}));
    // One character that does not fit has nothing to keep.
    EXPECT_EQ(TextLayout("abc", Upright(font, 0, 15, kTextEllipsis), Rect{0, 0, 4, 20}).cutIndex(),
              -1);
    // An empty line has no end to test.
    const TextLayout empty("", Upright(font, 40, 15, kTextEllipsis), kView);
    EXPECT_EQ(empty.drawnCount(), 0u);
    EXPECT_TRUE(Place(empty).codePoints.empty());
}

TEST(TextLayoutTest, EllipsisWithAFailingOutlineStillEndsTheLine) {
    FakeFont font;
    font.failing.insert(kEllipsis);
    const TextLayout layout("abcdefghij", Upright(font, 2, 15, kTextEllipsis), kView);
    EXPECT_EQ(Place(layout).codePoints, (V{'a', 'b', 'c', 'd'}));
}

TEST(TextLayoutTest, AlignmentOffsets) {
    FakeFont font;
    TextStyle style = Upright(font, 2, 15);
    style.width = 3;  // em; "abc" is 1.5 em
    style.flags = kTextAlignEnd;
    EXPECT_FLOAT_EQ(TextLayout("abc", style, kView).startX(), 2 + 15);
    style.flags = kTextAlignCentre;
    EXPECT_FLOAT_EQ(TextLayout("abc", style, kView).startX(), 2 + 7.5f);
    style.flags = 3;  // the fourth value is the start again
    EXPECT_FLOAT_EQ(TextLayout("abc", style, kView).startX(), 2);
    // A line longer than the box moves back before the origin.
    style.flags = kTextAlignEnd;
    style.width = 0;
    EXPECT_FLOAT_EQ(TextLayout("abc", style, kView).startX(), 2 - 15);
    // The offset follows the baseline direction M (offset, 0).
    style.m2 = 4;
    const TextLayout sloped("abc", style, kView);
    EXPECT_FLOAT_EQ(sloped.startY(), 15 - 6);
    EXPECT_EQ(Place(sloped).penY, (std::vector<float>{9, 11, 13}));
}

TEST(TextLayoutTest, OutlinesArePlacedByTheMatrix) {
    FakeFont font;
    // Upright: the box 0.05..0.45 em wide and 0.6 em high sits on the
    // baseline at the pen, y growing downwards.
    const Drawn upright = Place(TextLayout("ab", Upright(font, 2, 15), kView));
    ASSERT_EQ(upright.bounds.size(), 2u);
    EXPECT_FLOAT_EQ(upright.bounds[0].left, 2.5f);
    EXPECT_FLOAT_EQ(upright.bounds[0].top, 9);
    EXPECT_FLOAT_EQ(upright.bounds[0].right, 6.5f + 1);
    EXPECT_FLOAT_EQ(upright.bounds[0].bottom, 15 + 1);
    EXPECT_FLOAT_EQ(upright.bounds[1].left, 7.5f);

    // Turned a quarter: the baseline runs down the window (m2), the glyph's
    // up points to the right (-m1).
    TextStyle turned = Upright(font, 20, 5);
    turned.m0 = 0;
    turned.m1 = -10;
    turned.m2 = 10;
    turned.m3 = 0;
    const Drawn down = Place(TextLayout("ab", turned, kView));
    EXPECT_EQ(down.penX, (std::vector<float>{20, 20}));
    EXPECT_EQ(down.penY, (std::vector<float>{5, 10}));
    EXPECT_FLOAT_EQ(down.bounds[0].left, 20);
    EXPECT_FLOAT_EQ(down.bounds[0].right, 26 + 1);
    EXPECT_FLOAT_EQ(down.bounds[0].top, 5.5f);
    EXPECT_FLOAT_EQ(down.bounds[0].bottom, 9.5f + 1);
}

TEST(TextLayoutTest, WhiteSpaceAdvancesWithoutAnOutline) {
    FakeFont font;
    const Drawn drawn = Place(TextLayout("a \t\n\v\f\rb", Upright(font), kView));
    EXPECT_EQ(font.loads, (V{'a', 'b'}));
    EXPECT_EQ(drawn.codePoints, (V{'a', ' ', '\t', '\n', '\v', '\f', '\r', 'b'}));
    EXPECT_FLOAT_EQ(drawn.penX.back(), 35);

    // U+00A0 is not ASCII white space: its (empty) outline is loaded.
    font.loads.clear();
    Place(
        TextLayout("a\xC2\xA0"
                   "b",
                   Upright(font), kView));
    EXPECT_EQ(font.loads, (V{'a', 0xA0, 'b'}));
}

TEST(TextLayoutTest, FailedOutlineSkipsCharacterAndAdvance) {
    FakeFont font;
    font.failing.insert('b');
    const TextLayout layout("abc", Upright(font), kView);
    const Drawn drawn = Place(layout);
    EXPECT_EQ(drawn.codePoints, (V{'a', 'c'}));
    EXPECT_EQ(drawn.penX, (std::vector<float>{0, 5}));
    // Measuring and alignment still count it: they never load outlines.
    EXPECT_FLOAT_EQ(layout.advance(), 1.5f);
}

TEST(TextLayoutTest, ComposedCharactersAndMissingGlyphs) {
    FakeFont font;
    Place(
        TextLayout("e\xCC\x81"
                   "A\xCC\x88\xCC\x84",
                   Upright(font), kView));
    EXPECT_EQ(font.loads, (V{0xE9, 0x1DE}));

    // No glyph: glyph 0 is drawn and advanced like any other, also for
    // characters beyond the BMP.
    font.loads.clear();
    font.missingAdvance = 0.8f;
    const Drawn drawn =
        Place(TextLayout("\xE4\xB8\x80\xF0\x9F\x8E\xB5"
                         "a",
                         Upright(font), kView));
    EXPECT_EQ(font.loads, (V{0, 0, 'a'}));
    EXPECT_EQ(drawn.penX, (std::vector<float>{0, 8, 16}));
}

TEST(TextLayoutTest, NoFontLaysOutNothing) {
    const TextLayout layout("abc", TextStyle{}, kView);
    EXPECT_EQ(layout.drawnCount(), 0u);
    EXPECT_FLOAT_EQ(MeasureText("abc", TextStyle{}), 0);
}

TEST(TextLayoutTest, OutlineMeetsClip) {
    Path box;
    box.MoveTo(50.5f, 7);
    box.LineTo(54.5f, 7);
    box.LineTo(54.5f, 10);
    box.Close();
    // Bounds (50.5, 7, 55.5, 11) truncate to pixels (50, 7, 55, 11).
    EXPECT_FALSE(OutlineMeetsClip(box, Rect{0, 0, 50, 20}));
    EXPECT_TRUE(OutlineMeetsClip(box, Rect{0, 0, 51, 20}));
    EXPECT_TRUE(OutlineMeetsClip(box, Rect{54, 0, 60, 20}));
    EXPECT_FALSE(OutlineMeetsClip(box, Rect{55, 0, 60, 20}));
    EXPECT_FALSE(OutlineMeetsClip(box, Rect{0, 11, 60, 20}));
    EXPECT_FALSE(OutlineMeetsClip(box, Rect{0, 0, 60, 7}));

    // Beyond what 16.16 fixed point can hold, or not a number: never filled.
    Path huge;
    huge.MoveTo(10, 10);
    huge.LineTo(1e9f, 10);
    huge.Close();
    EXPECT_FALSE(OutlineMeetsClip(huge, Rect{0, 0, 100, 100}));
    Path nan;
    nan.MoveTo(std::numeric_limits<float>::quiet_NaN(), 1);
    nan.Close();
    EXPECT_FALSE(OutlineMeetsClip(nan, Rect{0, 0, 100, 100}));
}

TEST(TextLayoutTest, MeasureText) {
    FakeFont font;
    TextStyle style = Upright(font);
    style.flags = kTextEllipsis;  // measuring never shortens
    EXPECT_FLOAT_EQ(MeasureText("abcdefghij", style), 50);
    EXPECT_FLOAT_EQ(MeasureText("cafe\xCC\x81", style), 20);  // four characters
    EXPECT_FLOAT_EQ(MeasureText("", style), 0);
    // Turned and scaled: the length of M (a, 0) = (6 a, 8 a), whatever m1 and m3.
    style.m0 = 6;
    style.m1 = 3;
    style.m2 = 8;
    style.m3 = -2;
    EXPECT_FLOAT_EQ(MeasureText("abc", style), 15);
    style.m0 = -6;
    EXPECT_FLOAT_EQ(MeasureText("abc", style), 15);
}

}  // namespace
}  // namespace quil
