#include "gfx/FontChain.h"

#include <gtest/gtest.h>

#include "gfx/Path.h"
#include "gfx/TrueTypeFont.h"
#include "tests/gfx/TestFontBuilder.h"

namespace quil {
namespace {

using test::CmapFormat0;
using test::CmapFormat4;
using test::CmapSegment;
using test::TestFontBuilder;

// A font that answers every character with one fixed glyph.
class FixedFont : public Font {
  public:
    FixedFont(uint32_t glyph, float descent, float ascent)
        : glyph_(glyph), descent_(descent), ascent_(ascent) {}
    float Descent() const override { return descent_; }
    float Ascent() const override { return ascent_; }
    uint32_t GlyphForByte(uint32_t) const override { return glyph_; }
    uint32_t GlyphForUnicode(uint32_t) const override { return glyph_; }
    float Advance(uint32_t glyph) const override { return glyph == glyph_ ? 1.5f : 0; }
    int LoadOutline(uint32_t, Path&, float&) const override { return -1; }

  private:
    uint32_t glyph_;
    float descent_;
    float ascent_;
};

std::unique_ptr<Font> BuiltFont(TestFontBuilder b) {
    auto font = std::make_unique<TrueTypeFont>();
    EXPECT_EQ(font->LoadFromBytes(b.Build()), 0);
    return font;
}

TEST(FontChainTest, EmptyChain) {
    FontChain chain;
    EXPECT_TRUE(chain.empty());
    EXPECT_EQ(chain.Descent(), 0);
    EXPECT_EQ(chain.Ascent(), 0);
    EXPECT_EQ(chain.GlyphForByte('A'), 0u);
    EXPECT_EQ(chain.GlyphForUnicode('A'), 0u);
    EXPECT_EQ(chain.Advance(1), 0);
    Path path;
    float scale = 0;
    EXPECT_EQ(chain.LoadOutline(1, path, scale), -1);
    chain.Add(nullptr);
    EXPECT_TRUE(chain.empty());
}

TEST(FontChainTest, MissingCharacterComesFromTheSecondFont) {
    TestFontBuilder first = TestFontBuilder::Basic();
    first.cmapSubtables = {CmapFormat0({}), CmapFormat4({CmapSegment{'A', 'A', 0, {1}}})};
    first.yMin = -100;
    first.yMax = 900;
    TestFontBuilder second = TestFontBuilder::Basic();
    second.glyphs[3].advance = 333;
    second.yMin = -300;
    second.yMax = 700;

    FontChain chain;
    chain.Add(BuiltFont(first));
    chain.Add(BuiltFont(second));
    EXPECT_EQ(chain.size(), 2u);
    EXPECT_FLOAT_EQ(chain.Descent(), -0.3f);
    EXPECT_FLOAT_EQ(chain.Ascent(), 0.9f);

    EXPECT_EQ(chain.GlyphForUnicode('A'), 1u);
    const uint32_t o = chain.GlyphForUnicode('O');
    EXPECT_EQ(o, 0x01000003u);
    EXPECT_EQ(chain.GlyphForByte('O'), 0x01000003u);
    EXPECT_EQ(chain.GlyphForUnicode('Q'), 0u);
    EXPECT_FLOAT_EQ(chain.Advance(o), 0.333f);
    EXPECT_FLOAT_EQ(chain.Advance(3), 0.7f);

    Path path;
    float scale = 0;
    ASSERT_EQ(chain.LoadOutline(o, path, scale), 0);
    EXPECT_FLOAT_EQ(scale, 0.001f);
    EXPECT_EQ(test::Commands(path).front(), (test::Command{Path::kMove, {150, 150}}));

    // A position beyond the chain has no glyph.
    path.Clear();
    EXPECT_EQ(chain.Advance(0x02000003), 0);
    EXPECT_EQ(chain.LoadOutline(0x02000003, path, scale), -1);
    EXPECT_EQ(chain.LoadOutline(0xFF000000, path, scale), -1);
    EXPECT_TRUE(path.IsEmpty());
}

TEST(FontChainTest, ExtentsIncludeTheBaseline) {
    FontChain chain;
    chain.Add(std::make_unique<FixedFont>(0, 0.2f, 0.5f));
    chain.Add(std::make_unique<FixedFont>(0, 0.1f, -0.5f));
    EXPECT_EQ(chain.Descent(), 0);
    EXPECT_FLOAT_EQ(chain.Ascent(), 0.5f);
}

TEST(FontChainTest, GlyphsTooWideForTheLowBitsAreSkipped) {
    FontChain chain;
    chain.Add(std::make_unique<FixedFont>(0x01000000, 0, 0));
    chain.Add(std::make_unique<FixedFont>(0x00FFFFFF, 0, 0));
    EXPECT_EQ(chain.GlyphForUnicode('x'), 0x01FFFFFFu);
    EXPECT_FLOAT_EQ(chain.Advance(0x01FFFFFF), 1.5f);
}

TEST(FontChainTest, OnlyTheFirst256FontsAreAsked) {
    FontChain chain;
    for (int i = 0; i < 256; ++i)
        chain.Add(std::make_unique<FixedFont>(0, 0, 0));
    chain.Add(std::make_unique<FixedFont>(7, 0, 0));
    EXPECT_EQ(chain.GlyphForByte('x'), 0u);
}

}  // namespace
}  // namespace quil
