// Glyph outlines: simple glyphs with every way a contour can start,
// composite glyphs with their transforms, and the limits that keep damaged
// glyphs from reaching past their data.
#include <gtest/gtest.h>

#include "gfx/Path.h"
#include "gfx/TrueTypeFont.h"
#include "tests/gfx/TestFontBuilder.h"

namespace quil {
namespace {

using test::Command;
using test::Commands;
using test::TestComponent;
using test::TestFontBuilder;
using test::TestGlyph;
using test::TestPoint;

Command Move(float x, float y) {
    return {Path::kMove, {x, y}};
}
Command Line(float x, float y) {
    return {Path::kLine, {x, y}};
}
Command Quad(float cx, float cy, float x, float y) {
    return {Path::kQuad, {cx, cy, x, y}};
}
Command Close() {
    return {Path::kClose, {}};
}
Command CloseQuad(float cx, float cy) {
    return {Path::kCloseQuad, {cx, cy}};
}

TestGlyph Simple(std::vector<std::vector<TestPoint>> contours) {
    TestGlyph g;
    g.contours = std::move(contours);
    return g;
}

TestGlyph Composite(std::vector<TestComponent> components) {
    TestGlyph g;
    g.components = std::move(components);
    return g;
}

// Loads the outline of `glyph` from a font made of `glyphs`; the result code
// goes to `result`.
std::vector<Command> Outline(std::vector<TestGlyph> glyphs, uint32_t glyph, int& result,
                             bool longLoca = false) {
    TestFontBuilder b = TestFontBuilder::Basic();
    b.glyphs = std::move(glyphs);
    b.longLoca = longLoca;
    TrueTypeFont font;
    if (font.LoadFromBytes(b.Build()) != 0) {
        result = 99;
        return {};
    }
    Path path;
    float scale = 0;
    result = font.LoadOutline(glyph, path, scale);
    return Commands(path);
}

std::vector<Command> Outline(std::vector<TestGlyph> glyphs, uint32_t glyph) {
    int result = 0;
    std::vector<Command> commands = Outline(std::move(glyphs), glyph, result);
    EXPECT_EQ(result, 0);
    return commands;
}

const std::vector<Command> kBox = {Move(100, 0), Line(100, 700), Line(500, 700), Line(500, 0),
                                   Close()};

TEST(TrueTypeGlyfTest, BasicGlyphsInShortAndLongLoca) {
    for (bool longLoca : {false, true}) {
        TestFontBuilder b = TestFontBuilder::Basic();
        b.longLoca = longLoca;
        TrueTypeFont font;
        ASSERT_EQ(font.LoadFromBytes(b.Build()), 0);
        Path path;
        float scale = 0;
        ASSERT_EQ(font.LoadOutline(0, path, scale), 0);
        EXPECT_FLOAT_EQ(scale, 0.001f);
        EXPECT_EQ(Commands(path), kBox);
        // Outlines are appended after what the path holds.
        ASSERT_EQ(font.LoadOutline(1, path, scale), 0);
        std::vector<Command> both = kBox;
        both.insert(both.end(), {Move(0, 0), Line(300, 700), Line(600, 0), Close()});
        EXPECT_EQ(Commands(path), both);
    }
}

TEST(TrueTypeGlyfTest, EmptyGlyphSucceedsWithNothing) {
    TrueTypeFont font;
    ASSERT_EQ(font.LoadFromBytes(TestFontBuilder::Basic().Build()), 0);
    Path path;
    float scale = 0;
    EXPECT_EQ(font.LoadOutline(2, path, scale), 0);
    EXPECT_TRUE(path.IsEmpty());
    EXPECT_FLOAT_EQ(scale, 0.001f);
}

TEST(TrueTypeGlyfTest, ContourStartPoints) {
    // Both ends off the curve: start at their midpoint, keep the last point
    // as the control of the closing curve.
    EXPECT_EQ(
        Outline(
            {Simple({{{0, 300, false}, {300, 600, false}, {600, 300, false}, {300, 0, false}}})},
            0),
        (std::vector<Command>{Move(150, 150), Quad(0, 300, 150, 450), Quad(300, 600, 450, 450),
                              Quad(600, 300, 450, 150), CloseQuad(300, 0)}));
    // First point off, last on: start at the last point.
    EXPECT_EQ(Outline({Simple({{{0, 0, false}, {100, 100}, {200, 0, false}, {100, -100}}})}, 0),
              (std::vector<Command>{Move(100, -100), Quad(0, 0, 100, 100), CloseQuad(200, 0)}));
    // First point on, the last two off.
    EXPECT_EQ(Outline({Simple({{{0, 0}, {100, 100, false}, {200, 0, false}}})}, 0),
              (std::vector<Command>{Move(0, 0), Quad(100, 100, 150, 50), CloseQuad(200, 0)}));
    // On, off, on: a curve, then a straight close.
    EXPECT_EQ(Outline({Simple({{{0, 0}, {50, 100, false}, {100, 0}}})}, 0),
              (std::vector<Command>{Move(0, 0), Quad(50, 100, 100, 0), Close()}));
    // A lone point on or off the curve.
    EXPECT_EQ(Outline({Simple({{{7, 8}}})}, 0), (std::vector<Command>{Move(7, 8), Close()}));
    EXPECT_EQ(Outline({Simple({{{7, 8, false}}})}, 0),
              (std::vector<Command>{Move(7, 8), CloseQuad(7, 8)}));
}

TEST(TrueTypeGlyfTest, SeveralContoursAndLongDeltas) {
    EXPECT_EQ(
        Outline({Simple({{{0, 0}, {2000, 0}, {2000, -1500}},
                         {{-300, 40}, {-1000, 1000, false}, {0, 2000, false}}})},
                0),
        (std::vector<Command>{Move(0, 0), Line(2000, 0), Line(2000, -1500), Close(), Move(-300, 40),
                              Quad(-1000, 1000, -500, 1500), CloseQuad(0, 2000)}));
}

TEST(TrueTypeGlyfTest, InstructionsSkippedAndFlagRepeatsStopAtThePointCount) {
    TestGlyph raw;
    raw.raw = {0,    1,    0,    0,    0,    0,    0, 0, 0, 0,  // one contour, bounds
               0,    2,                                         // end point 2
               0,    3,    0xB0, 0,    0,                       // three instruction bytes
               0x09, 0xFF,                           // on curve, word deltas, repeated 255 times
               0x03, 0xE8, 0xF8, 0x30, 0x01, 0xF4,   // x: 1000, -2000, 500
               0x00, 0x00, 0x01, 0x2C, 0xFE, 0xD4};  // y: 0, 300, -300
    EXPECT_EQ(Outline({raw}, 0),
              (std::vector<Command>{Move(1000, 0), Line(-1000, 300), Line(-500, 0), Close()}));
}

TEST(TrueTypeGlyfTest, CompositeTransforms) {
    const TestGlyph box = Simple({{{100, 0}, {100, 700}, {500, 700}, {500, 0}}});
    const TestGlyph triangle = Simple({{{0, 0}, {300, 700}, {600, 0}}});
    // Scale 0x2000 is one half, then the offset.
    EXPECT_EQ(Outline({box, Composite({{0, 0x0002, -20, 300, {0x2000}}})}, 1),
              (std::vector<Command>{Move(30, 300), Line(30, 650), Line(230, 650), Line(230, 300),
                                    Close()}));
    // 0x0040: x mirrored, y halved.
    EXPECT_EQ(Outline({triangle, Composite({{0, 0x0002, 0, 0, {-0x4000, 0x2000}}})}, 1),
              (std::vector<Command>{Move(0, 0), Line(-300, 350), Line(-600, 0), Close()}));
    // 0x0080 in file order xscale, scale01, scale10, yscale: a quarter turn,
    // x' = -y, y' = x.
    EXPECT_EQ(Outline({triangle, Composite({{0, 0x0002, 0, 0, {0, -0x4000, 0x4000, 0}}})}, 1),
              (std::vector<Command>{Move(0, 0), Line(-700, 300), Line(0, 600), Close()}));
    // Word arguments; without 0x0002 they are point numbers and move nothing.
    EXPECT_EQ(
        Outline({triangle, Composite({{0, 0x0002, 1000, -500, {}}, {0, 0x0000, 1000, -500, {}}})},
                1),
        (std::vector<Command>{Move(1000, -500), Line(1300, 200), Line(1600, -500), Close(),
                              Move(0, 0), Line(300, 700), Line(600, 0), Close()}));
}

TEST(TrueTypeGlyfTest, BasicCompositeAndNestedComposite) {
    TestFontBuilder b = TestFontBuilder::Basic();
    b.glyphs.push_back(Composite({{4, 0x0002, 0, 10, {}}}));
    TrueTypeFont font;
    ASSERT_EQ(font.LoadFromBytes(b.Build()), 0);
    Path path;
    float scale = 0;
    ASSERT_EQ(font.LoadOutline(5, path, scale), 0);
    EXPECT_EQ(Commands(path), (std::vector<Command>{Move(100, 10), Line(400, 710), Line(700, 10),
                                                    Close(), Move(30, 310), Line(30, 660),
                                                    Line(230, 660), Line(230, 310), Close()}));
}

TEST(TrueTypeGlyfTest, NestingIsBounded) {
    std::vector<TestGlyph> glyphs = {Simple({{{0, 0}, {1, 1}, {2, 0}}})};
    for (uint16_t i = 1; i <= 12; ++i)
        glyphs.push_back(Composite({{uint16_t(i - 1), 2, 1, 0, {}}}));
    TestFontBuilder b = TestFontBuilder::Basic();
    b.glyphs = glyphs;
    TrueTypeFont font;
    ASSERT_EQ(font.LoadFromBytes(b.Build()), 0);
    for (uint32_t g = 0; g <= 12; ++g) {
        Path path;
        float scale = 0;
        const bool deepEnough = g <= TrueTypeFont::kMaxCompositeDepth;
        EXPECT_EQ(font.LoadOutline(g, path, scale), deepEnough ? 0 : -1) << g;
        if (deepEnough) {
            EXPECT_EQ(Commands(path)[0], Move(float(g), 0));
        } else {
            EXPECT_TRUE(path.IsEmpty());
        }
    }
}

TEST(TrueTypeGlyfTest, FailuresLeaveThePathAsItWas) {
    TestGlyph badHeader;
    badHeader.raw = {0xFF, 0xFE, 0, 0, 0, 0, 0, 0, 0, 0};  // numberOfContours -2
    TestGlyph decreasingEnds;
    decreasingEnds.raw = {0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1, 0, 0, 0x31, 0x31, 0x31, 0x31};
    // Three points but the record ends after two flags; the next glyph's
    // bytes follow in the file and must not be taken for the rest.
    TestGlyph cut;
    cut.raw = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0x31, 0x31};

    std::vector<TestGlyph> glyphs = {
        Simple({{{100, 0}, {100, 700}, {500, 700}}}),
        badHeader,
        decreasingEnds,
        cut,
        Composite({{0, 2, 0, 0, {}}, {1, 2, 0, 0, {}}}),  // second component fails
        Composite({{5, 2, 0, 0, {}}}),                    // refers to itself
        Composite({{0, 2, 0, 0, {}}, {6, 2, 0, 0, {}}}),  // refers to itself after a success
    };
    TestFontBuilder b = TestFontBuilder::Basic();
    b.glyphs = glyphs;
    TrueTypeFont font;
    ASSERT_EQ(font.LoadFromBytes(b.Build()), 0);
    Path path;
    float scale = 0;
    ASSERT_EQ(font.LoadOutline(0, path, scale), 0);
    const std::vector<Command> before = Commands(path);
    for (uint32_t g : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 1000u, 0xFFFFFFFFu}) {
        scale = 5;
        EXPECT_EQ(font.LoadOutline(g, path, scale), -1) << g;
        EXPECT_EQ(Commands(path), before) << g;
    }

    TrueTypeFont unloaded;
    EXPECT_EQ(unloaded.LoadOutline(0, path, scale), -1);
    EXPECT_EQ(Commands(path), before);
}

TEST(TrueTypeGlyfTest, PointLimit) {
    const auto contourOf = [](int count) {
        std::vector<TestPoint> contour;
        for (int i = 0; i < count; ++i)
            contour.push_back({i % 2 ? 3 * i : -i, i, i % 3 != 0});
        return contour;
    };
    // A simple glyph, and composites made of copies of a 1000-point glyph:
    // all of one outline's points count, not only its records.
    const struct {
        int points;
        int copies;  // 0: the simple glyph itself
        bool loads;
    } cases[] = {{1000, 0, true}, {1001, 0, false}, {1000, 10, true}, {1000, 11, false}};
    for (const auto& c : cases) {
        const TestGlyph simple = Simple({contourOf(c.points)});
        std::vector<TestGlyph> glyphs = {simple};
        if (c.copies > 0)
            glyphs.push_back(
                Composite(std::vector<TestComponent>(size_t(c.copies), {0, 2, 0, 0, {}})));
        int result = 0;
        const std::vector<Command> commands = Outline(glyphs, c.copies > 0 ? 1 : 0, result);
        EXPECT_EQ(result, c.loads ? 0 : -1) << c.points << " x " << c.copies;
        EXPECT_EQ(commands.empty(), !c.loads);
    }
}

}  // namespace
}  // namespace quil
