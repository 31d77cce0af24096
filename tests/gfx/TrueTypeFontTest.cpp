// Loading a font file, its table directory and metrics, and the character
// maps.
#include "gfx/TrueTypeFont.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "tests/gfx/TestFontBuilder.h"

namespace quil {
namespace {

using test::CmapFormat0;
using test::CmapFormat4;
using test::CmapFormat6;
using test::CmapSegment;
using test::TestFontBuilder;

int LoadBuilt(TrueTypeFont& font, const TestFontBuilder& builder) {
    return font.LoadFromBytes(builder.Build());
}

std::vector<uint8_t> DummyTable() {
    return {0, 0, 0, 0};
}

TEST(TrueTypeFontTest, LoadsBasicFontWithHeadAndHheaValues) {
    TrueTypeFont font;
    ASSERT_EQ(LoadBuilt(font, TestFontBuilder::Basic()), 0);
    EXPECT_TRUE(font.IsLoaded());
    EXPECT_EQ(font.UnitsPerEm(), 1000);
    EXPECT_FLOAT_EQ(font.Descent(), -0.2f);
    EXPECT_FLOAT_EQ(font.Ascent(), 0.8f);
    EXPECT_FLOAT_EQ(font.Advance(0), 0.6f);
    EXPECT_FLOAT_EQ(font.Advance(2), 0.25f);
    EXPECT_FLOAT_EQ(font.Advance(4), 0.8f);
}

TEST(TrueTypeFontTest, TableCountLimitIsFifty) {
    for (size_t total : {size_t{50}, size_t{51}}) {
        TestFontBuilder b = TestFontBuilder::Basic();
        while (b.TableCount() < total)
            b.extraTables.emplace_back("zz", DummyTable());
        TrueTypeFont font;
        EXPECT_EQ(LoadBuilt(font, b), total == 50 ? 0 : TrueTypeFont::kBadFont) << total;
    }
}

TEST(TrueTypeFontTest, EveryRequiredTableIsNeeded) {
    for (const char* tag : {"cmap", "glyf", "head", "hhea", "hmtx", "loca"}) {
        TestFontBuilder b = TestFontBuilder::Basic();
        b.omit.insert(tag);
        TrueTypeFont font;
        EXPECT_EQ(LoadBuilt(font, b), TrueTypeFont::kBadFont) << tag;
        EXPECT_FALSE(font.IsLoaded());
        EXPECT_EQ(font.Advance(0), 0);
        EXPECT_EQ(font.GlyphForUnicode('A'), 0u);
    }
    TestFontBuilder b = TestFontBuilder::Basic();
    b.omit.insert("maxp");  // not read
    TrueTypeFont font;
    EXPECT_EQ(LoadBuilt(font, b), 0);
}

TEST(TrueTypeFontTest, LaterTableRecordReplacesEarlier) {
    TestFontBuilder b = TestFontBuilder::Basic();
    b.unitsPerEm = 2000;
    TestFontBuilder other = TestFontBuilder::Basic();
    other.unitsPerEm = 500;
    // The second head comes from a font with another unitsPerEm.
    const std::vector<uint8_t> otherBytes = other.Build();
    TrueTypeFont probe;
    ASSERT_EQ(probe.LoadFromBytes(otherBytes), 0);
    std::vector<uint8_t> head(54);
    for (size_t i = 0; i < 16 * 7; i += 16) {
        if (std::string(otherBytes.begin() + 12 + i, otherBytes.begin() + 16 + i) == "head") {
            const size_t at = (otherBytes[20 + i] << 24) | (otherBytes[21 + i] << 16) |
                              (otherBytes[22 + i] << 8) | otherBytes[23 + i];
            head.assign(otherBytes.begin() + at, otherBytes.begin() + at + 54);
        }
    }
    b.extraTables.emplace_back("head", head);
    TrueTypeFont font;
    ASSERT_EQ(LoadBuilt(font, b), 0);
    EXPECT_EQ(font.UnitsPerEm(), 500);
}

TEST(TrueTypeFontTest, RefusesZeroUnitsPerEmAndZeroHorizontalMetrics) {
    TestFontBuilder b = TestFontBuilder::Basic();
    b.unitsPerEm = 0;
    TrueTypeFont font;
    EXPECT_EQ(LoadBuilt(font, b), TrueTypeFont::kBadFont);

    b = TestFontBuilder::Basic();
    b.horizontalMetricCount = 0;
    EXPECT_EQ(LoadBuilt(font, b), TrueTypeFont::kBadFont);
}

TEST(TrueTypeFontTest, AdvanceBeyondLongMetricsUsesTheLastOne) {
    TestFontBuilder b = TestFontBuilder::Basic();
    b.horizontalMetricCount = 2;  // box 600, triangle 600; the rest share 600
    b.glyphs[1].advance = 450;
    TrueTypeFont font;
    ASSERT_EQ(LoadBuilt(font, b), 0);
    EXPECT_FLOAT_EQ(font.Advance(0), 0.6f);
    EXPECT_FLOAT_EQ(font.Advance(1), 0.45f);
    EXPECT_FLOAT_EQ(font.Advance(2), 0.45f);
    EXPECT_FLOAT_EQ(font.Advance(4), 0.45f);
    EXPECT_FLOAT_EQ(font.Advance(0xFFFFFFFF), 0.45f);
}

TEST(TrueTypeFontTest, AdvanceOutsideTheFileIsZero) {
    TestFontBuilder b = TestFontBuilder::Basic();
    b.horizontalMetricCount = 0x7FFF;  // far more metrics than hmtx holds
    TrueTypeFont font;
    ASSERT_EQ(LoadBuilt(font, b), 0);
    EXPECT_FLOAT_EQ(font.Advance(0), 0.6f);
    EXPECT_EQ(font.Advance(0x7000), 0);
    EXPECT_EQ(font.Advance(100000), 0);
}

TEST(TrueTypeFontTest, ByteMapComesFromFormat0First) {
    TestFontBuilder b = TestFontBuilder::Basic();
    // A format 6 subtable before the format 0 one does not win.
    b.cmapSubtables.insert(b.cmapSubtables.begin(), CmapFormat6('A', {3}));
    TrueTypeFont font;
    ASSERT_EQ(LoadBuilt(font, b), 0);
    EXPECT_EQ(font.GlyphForByte('A'), 1u);
    EXPECT_EQ(font.GlyphForByte('C'), 4u);
    EXPECT_EQ(font.GlyphForByte('Z'), 0u);
    EXPECT_EQ(font.GlyphForByte(256), 0u);
    EXPECT_EQ(font.GlyphForByte(0x141), 0u);
}

TEST(TrueTypeFontTest, ByteMapFallsBackToFormat6ThenToNothing) {
    TestFontBuilder b = TestFontBuilder::Basic();
    b.cmapSubtables.erase(b.cmapSubtables.begin());  // format 4 only
    b.cmapSubtables.push_back(CmapFormat6('A', {1, 0x1234, 4}));
    b.cmapSubtables.push_back(CmapFormat6('A', {3, 3, 3}));  // later, ignored
    TrueTypeFont font;
    ASSERT_EQ(LoadBuilt(font, b), 0);
    EXPECT_EQ(font.GlyphForByte('@'), 0u);
    EXPECT_EQ(font.GlyphForByte('A'), 1u);
    EXPECT_EQ(font.GlyphForByte('B'), 0x1234u);
    EXPECT_EQ(font.GlyphForByte('C'), 4u);
    EXPECT_EQ(font.GlyphForByte('D'), 0u);
    EXPECT_EQ(font.GlyphForByte(256), 0u);

    b.cmapSubtables.resize(1);  // neither format 0 nor 6
    ASSERT_EQ(LoadBuilt(font, b), 0);
    for (uint32_t code = 0; code < 256; ++code)
        EXPECT_EQ(font.GlyphForByte(code), 0u);
    EXPECT_EQ(font.GlyphForUnicode('A'), 1u);
}

TEST(TrueTypeFontTest, Format4IsRequired) {
    TestFontBuilder b = TestFontBuilder::Basic();
    b.cmapSubtables.resize(1);  // format 0 only
    TrueTypeFont font;
    EXPECT_EQ(LoadBuilt(font, b), TrueTypeFont::kBadFont);
    b.cmapSubtables.clear();
    EXPECT_EQ(LoadBuilt(font, b), TrueTypeFont::kBadFont);
}

TEST(TrueTypeFontTest, Format4DeltaAndRangeOffsetPaths) {
    TestFontBuilder b = TestFontBuilder::Basic();
    b.cmapSubtables = {CmapFormat4({
        CmapSegment{0x20, 0x7E, static_cast<uint16_t>(-29), {}},  // delta, wrapping
        CmapSegment{0xA0, 0xA3, 0, {10, 0, 12, 13}},              // range offset
        CmapSegment{0xB0, 0xB1, 100, {0xFFF0, 5}},                // range offset + delta
        CmapSegment{0x4E00, 0x4E01, 0xC000, {}},                  // delta modulo 65536
    })};
    TrueTypeFont font;
    ASSERT_EQ(LoadBuilt(font, b), 0);
    EXPECT_EQ(font.GlyphForUnicode(0x1F), 0u);  // below the first segment
    EXPECT_EQ(font.GlyphForUnicode(0x20), 3u);
    EXPECT_EQ(font.GlyphForUnicode('A'), 36u);
    EXPECT_EQ(font.GlyphForUnicode(0x7E), 97u);
    EXPECT_EQ(font.GlyphForUnicode(0x7F), 0u);  // in the gap before 0xA0
    EXPECT_EQ(font.GlyphForUnicode(0xA0), 10u);
    EXPECT_EQ(font.GlyphForUnicode(0xA1), 0u);  // 0 in the glyph array
    EXPECT_EQ(font.GlyphForUnicode(0xA3), 13u);
    EXPECT_EQ(font.GlyphForUnicode(0xB0), 84u);  // (0xFFF0 + 100) mod 65536
    EXPECT_EQ(font.GlyphForUnicode(0xB1), 105u);
    EXPECT_EQ(font.GlyphForUnicode(0x4E00), 0x0E00u);
    EXPECT_EQ(font.GlyphForUnicode(0x4E01), 0x0E01u);
    EXPECT_EQ(font.GlyphForUnicode(0xFFFF), 0u);  // the closing segment
    EXPECT_EQ(font.GlyphForUnicode(0x10000), 0u);
    EXPECT_EQ(font.GlyphForUnicode(0x10041), 0u);
}

TEST(TrueTypeFontTest, Format4WithoutClosingSegmentLeavesHighCodesUnmapped) {
    // One segment and no closing 0xFFFF one: format, length, language,
    // segCountX2, search fields, then end, pad, start, delta, rangeOffset. the arrays for one
    // segment: end, pad, start, delta, rangeOffset.
    const std::vector<uint8_t> oneSegment = {0, 4, 0, 24,   0, 0, 0, 2,    0, 0, 0, 0,
                                             0, 0, 0, 0x7E, 0, 0, 0, 0x20, 0, 5, 0, 0};
    TestFontBuilder b = TestFontBuilder::Basic();
    b.cmapSubtables = {oneSegment};
    TrueTypeFont font;
    ASSERT_EQ(LoadBuilt(font, b), 0);
    EXPECT_EQ(font.GlyphForUnicode(0x20), 0x25u);
    EXPECT_EQ(font.GlyphForUnicode(0x7E), 0x83u);
    EXPECT_EQ(font.GlyphForUnicode(0x7F), 0u);
    EXPECT_EQ(font.GlyphForUnicode(0x1000), 0u);
}

TEST(TrueTypeFontTest, SegmentCountBeyondTheFileAnswersZero) {
    TestFontBuilder b = TestFontBuilder::Basic();
    std::vector<uint8_t> table = CmapFormat4({CmapSegment{'A', 'Z', 0, {1}}});
    table[6] = 0xFF;  // segCountX2 0xFFFE: the arrays run far past the file
    table[7] = 0xFE;
    b.cmapSubtables = {table};
    TrueTypeFont font;
    ASSERT_EQ(LoadBuilt(font, b), 0);
    for (uint32_t code = 0; code < 0x10000; code += 7)
        EXPECT_EQ(font.GlyphForUnicode(code), 0u);

    table[6] = 0;  // no segments at all
    table[7] = 0;
    b.cmapSubtables = {table};
    ASSERT_EQ(LoadBuilt(font, b), 0);
    EXPECT_EQ(font.GlyphForUnicode('A'), 0u);
}

TEST(TrueTypeFontTest, LoadFromFileReportsErrors) {
    const std::filesystem::path dir =
        std::filesystem::path(HARKBOX_BINARY_DIR) / "test-output" / "TrueTypeFontTest";
    std::filesystem::create_directories(dir);
    TrueTypeFont font;
    EXPECT_EQ(font.Load((dir / "missing.ttf").string()), ENOENT);

    ASSERT_TRUE(test::WriteFile((dir / "empty.ttf").string(), {}));
    EXPECT_EQ(font.Load((dir / "empty.ttf").string()), TrueTypeFont::kEmptyFile);

    ASSERT_TRUE(test::WriteFile((dir / "junk.ttf").string(), std::vector<uint8_t>(100, 0x41)));
    EXPECT_EQ(font.Load((dir / "junk.ttf").string()), TrueTypeFont::kBadFont);

    EXPECT_NE(font.Load(dir.string()), 0);  // a folder
    EXPECT_FALSE(font.IsLoaded());

    ASSERT_TRUE(test::WriteFile((dir / "basic.ttf").string(), TestFontBuilder::Basic().Build()));
    EXPECT_EQ(font.Load((dir / "basic.ttf").string()), 0);
    EXPECT_EQ(font.GlyphForUnicode('A'), 1u);
    EXPECT_EQ(font.GlyphForByte('O'), 3u);
}

TEST(TrueTypeFontTest, EmptyBytesAreRefused) {
    TrueTypeFont font;
    EXPECT_EQ(font.LoadFromBytes({}), TrueTypeFont::kEmptyFile);
    EXPECT_EQ(font.Descent(), 0);
    EXPECT_EQ(font.GlyphForByte('A'), 0u);
}

}  // namespace
}  // namespace quil
