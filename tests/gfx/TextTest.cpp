// Text: UTF-8 decoding, canonical composition, line layout with its ellipsis
// and alignment, and rendering into masks and images.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "gfx/Compose.h"
#include "gfx/ComposedReader.h"
#include "gfx/PixelArithmetic.h"
#include "gfx/RenderText.h"
#include "gfx/TextLayout.h"
#include "gfx/Utf8.h"
#include "tests/gfx/FakeFont.h"

namespace quil {
namespace {

using ::quil::testing::FakeFont;
using V = std::vector<uint32_t>;

// The code points of `bytes` read as a range ('r'), zero-terminated ('z'),
// or composed from a range ('c').
V Decode(char form, const std::string& bytes) {
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes.data());
    Utf8Decoder decoder = form == 'z' ? Utf8Decoder::ZeroTerminated(bytes.c_str())
                                      : Utf8Decoder(begin, begin + bytes.size());
    V out;
    if (form == 'c') {
        ComposedReader reader(decoder);
        while (!reader.done())
            out.push_back(reader.Next());
        EXPECT_EQ(reader.Next(), 0u);  // and it stays at the end
        return out;
    }
    while (!decoder.AtEnd())
        out.push_back(decoder.Next());
    EXPECT_EQ(decoder.Next(), 0u);
    return out;
}

TEST(Utf8DecoderTest, CodePointsByTheLeadByte) {
    const struct {
        char form;
        std::string bytes;
        V want;
    } rows[] = {
        {'r', "A\x7F", {0x41, 0x7F}},
        {'r', "\xDF\xBF", {0x7FF}},
        {'r', "\xE2\x80\xA6", {0x2026}},
        {'r', "\xF0\x9F\x8E\xB5", {0x1F3B5}},
        {'r', "\xF4\x8F\xBF\xBF", {0x10FFFF}},
        {'r', std::string("a\0b", 3), {'a', 0, 'b'}},  // a range reads past zeros
        {'z', "caf\xC3\xA9", {'c', 'a', 'f', 0xE9}},
        // Marks join the character before where the table lists the pair,
        // once, in input order.
        {'c', "A\xCC\x88\xCC\x84", {0x1DE}},
        {'c', "xe\xCC\x81y", {'x', 0xE9, 'y'}},
        {'c', "e\xCC\x81\xCC\x81", {0xE9, 0x301}},
        {'c', "A\xCC\x84\xCC\x88", {0x100, 0x308}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Decode(r.form, r.bytes), r.want) << r.form << " " << r.bytes;
}

// Pairs the table leaves out are not composed; every pair of the table
// (generated from the Unicode data) is found by the search.
TEST(ComposeTest, PairsOfTheTable) {
    EXPECT_EQ(Compose(0x41, 0x42), -1);
    EXPECT_EQ(Compose(0x10041, 0x300), -1);  // not A with a grave
    EXPECT_EQ(Compose(0x41, 0x10300), -1);
    for (const CompositionEntry& e : kCompositionTable)
        EXPECT_EQ(Compose(e.first, e.second), e.composed) << std::hex << e.first << " " << e.second;
}

// Upright text of 10 pixels per em: each character advances 5 pixels and its
// box spans pen + 0.5 .. pen + 4.5 across and 6 pixels up from the baseline.
TextStyle Upright(const Font& font, float originX = 2, float originY = 15, uint32_t flags = 0) {
    TextStyle style;
    style.font = &font;
    style.m0 = style.m3 = 10;
    style.originX = originX;
    style.originY = originY;
    style.flags = flags;
    return style;
}

struct Drawn {
    std::u32string codePoints;
    std::vector<float> penX, penY;
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

// Left, top, right and bottom within a few units in the last place.
void ExpectRect(const RealRect& rect, const std::array<float, 4>& want) {
    EXPECT_FLOAT_EQ(rect.left, want[0]);
    EXPECT_FLOAT_EQ(rect.top, want[1]);
    EXPECT_FLOAT_EQ(rect.right, want[2]);
    EXPECT_FLOAT_EQ(rect.bottom, want[3]);
}

const Rect kView{0, 0, 30, 20};

std::vector<uint8_t> Pixels(const Mask& mask) {
    std::vector<uint8_t> out;
    const Rect& b = mask.bounds();
    for (int32_t y = b.top; y < b.bottom; ++y)
        out.insert(out.end(), mask.At(b.left, y), mask.At(b.left, y) + b.Width());
    return out;
}

TEST(TextLayoutTest, EllipsisOnlyWhenTheLineDoesNotFit) {
    FakeFont font;
    const std::vector<float> cutPens = {2, 7, 12, 17, 22};
    const struct {
        const char* what;
        const char* text;
        TextStyle style;
        int32_t viewRight;
        int32_t cut;
        std::u32string drawn;
    } rows[] = {
        {"ends inside", "abc", Upright(font, 2, 15, kTextEllipsis), 30, -1, U"abc"},
        // Ten characters end at 52; with the ellipsis (0.5 em) the first
        // k + 1 end at 2 + 5 (k + 2), inside for k <= 3.
        {"cut", "abcdefghij", Upright(font, 2, 15, kTextEllipsis), 30, 3, U"abcd\u2026"},
        {"empty", "", Upright(font, 40, 15, kTextEllipsis), 30, -1, U""},
    };
    for (const auto& r : rows) {
        const TextLayout layout(r.text, r.style, Rect{0, 0, r.viewRight, 20});
        EXPECT_EQ(layout.cutIndex(), r.cut) << r.what;
        EXPECT_EQ(layout.drawnCount(), r.drawn.size()) << r.what;
        const Drawn drawn = Place(layout);
        EXPECT_EQ(drawn.codePoints, r.drawn) << r.what;
        if (r.cut == 3) {
            EXPECT_EQ(drawn.penX, cutPens);
        }
    }
}

TEST(TextLayoutTest, Placement) {
    FakeFont font;
    // Upright, the box sits on the baseline at the pen, y down; bounds reach
    // one past the last point.
    const Drawn upright = Place(TextLayout("ab", Upright(font), kView));
    const RealRect& box = upright.bounds[0];
    ExpectRect(box, {2.5f, 9.0f, 7.5f, 16.0f});
    EXPECT_FLOAT_EQ(upright.bounds[1].left, 7.5f);
}

TEST(TextLayoutTest, WhichOutlinesAreLoaded) {
    FakeFont font;
    // ASCII white space advances without an outline; U+00A0 loads its empty one.
    const Drawn spaced = Place(TextLayout("a \t\n\v\f\rb\xC2\xA0", Upright(font, 0), kView));
    EXPECT_EQ(font.loads, (V{'a', 'b', 0xA0}));
    EXPECT_FLOAT_EQ(spaced.penX.back(), 40);

    // Decomposed text meets the composed glyphs; a character without a glyph
    // is drawn and advanced as glyph 0, beyond the BMP too.
    font.loads.clear();
    font.missingAdvance = 0.8f;
    const Drawn drawn =
        Place(TextLayout("e\xCC\x81"
                         "A\xCC\x88\xCC\x84\xE4\xB8\x80\xF0\x9F\x8E\xB5"
                         "a",
                         Upright(font, 0), kView));
    EXPECT_EQ(font.loads, (V{0xE9, 0x1DE, 0, 0, 'a'}));
    EXPECT_EQ(drawn.penX, (std::vector<float>{0, 5, 10, 18, 26}));

    // A failing outline skips its character with its advance; measuring
    // still counts it (it never loads outlines).
    font.failing.insert('b');
    const TextLayout failed("abc", Upright(font, 0), kView);
    EXPECT_EQ(Place(failed).codePoints, U"ac");
    EXPECT_EQ(Place(failed).penX, (std::vector<float>{0, 5}));
    EXPECT_FLOAT_EQ(failed.advance(), 1.5f);
}

TEST(TextLayoutTest, MeasureTextAndOutlineMeetsClip) {
    FakeFont font;
    TextStyle style = Upright(font, 0, 15, kTextEllipsis);  // measuring never shortens
    EXPECT_FLOAT_EQ(MeasureText("abcdefghij", style), 50);
    EXPECT_FLOAT_EQ(MeasureText("cafe\xCC\x81", style), 20);  // four characters

    // Bounds (50.5, 7, 55.5, 11) truncate to pixels (50, 7, 55, 11).
    Path box;
    box.MoveTo(50.5f, 7);
    box.LineTo(54.5f, 10);
    box.Close();
    for (const auto& [clip, meets] : {std::pair{Rect{0, 0, 50, 20}, false},
                                      {Rect{0, 0, 51, 20}, true},
                                      {Rect{54, 0, 60, 20}, true},
                                      {Rect{55, 0, 60, 20}, false}}) {
        EXPECT_EQ(OutlineMeetsClip(box, clip), meets) << clip.left << " " << clip.top;
    }
    // Beyond what 16.16 fixed point holds: never filled.
    Path huge;
    huge.MoveTo(10, 10);
    huge.LineTo(1e9f, 10);
    EXPECT_FALSE(OutlineMeetsClip(huge, Rect{0, 0, 100, 100}));
}

Mask MaskOf(const Rect& bounds, uint8_t value) {
    Mask mask;
    EXPECT_TRUE(mask.SetBounds(bounds));
    mask.Fill(value);
    return mask;
}

// A repaint of part of the text, as a window flushing small regions would,
// gives exactly the pixels of one full render; only clip ∩ view is written.
TEST(RenderTextTest, CoverageWithinTheClipAndRepaintsInPieces) {
    FakeFont font;
    const Rect view{0, 0, 40, 20};
    Mask boxes = MaskOf(view, 0x55);
    RenderText(boxes, view, "ab", Upright(font), view);
    // Inside a box full, above and after nothing, the boxes' side columns
    // (x = 2.5, 6.5, 7.5, 11.5) half covered.
    for (const auto& [x, y, want] : {std::tuple{4, 12, 255},
                                     {9, 12, 255},
                                     {4, 5, 0},
                                     {12, 12, 0},
                                     {20, 12, 0},
                                     {2, 12, 128},
                                     {6, 12, 128},
                                     {11, 12, 128}}) {
        EXPECT_NEAR(*boxes.At(x, y), want, want == 128 ? 8 : 0) << x << "," << y;
    }
    TextStyle slanted = Upright(font, 1.3f, 15, kTextEllipsis);
    slanted.m1 = 3;
    const char* text = "abcdefghijkl";
    Mask full = MaskOf(view, 0x55);
    RenderText(full, view, text, slanted, view);
    // Odd strips, an empty clip and one beside the view, in a mask larger
    // than the view.
    for (const Rect& clip : {Rect{3, 10, 9, 14}, Rect{0, 0, 1, 20}, Rect{17, -5, 60, 13},
                             Rect{5, 5, 5, 10}, Rect{40, 0, 60, 20}}) {
        Mask part = MaskOf(Rect{-5, -5, 60, 30}, 0x77);
        RenderText(part, clip, text, slanted, view);
        for (int32_t y = -5; y < 30; ++y) {
            for (int32_t x = -5; x < 60; ++x)
                ASSERT_EQ(*part.At(x, y),
                          clip.Intersect(view).Contains(x, y) ? *full.At(x, y) : 0x77)
                    << x << "," << y;
        }
    }
    // The image form composes the tinted coverage over the clip.
    Image image;
    ASSERT_TRUE(image.SetBounds(view));
    image.Fill(0x80402010);
    const Rect clip{0, 10, 30, 20};
    RenderText(image, clip, 0x80406000, text, slanted, view);
    for (int32_t y = 0; y < 20; ++y) {
        for (int32_t x = 0; x < 40; ++x) {
            ASSERT_EQ(*image.At(x, y),
                      clip.Contains(x, y)
                          ? composeOver(0x80402010, tintCoverage(*full.At(x, y), 0x80406000))
                          : 0x80402010)
                << x << "," << y;
        }
    }
    // Empty text clears the clip.
    RenderText(full, view, "", slanted, view);
    EXPECT_EQ(Pixels(full), Pixels(MaskOf(view, 0)));
}

}  // namespace
}  // namespace quil
