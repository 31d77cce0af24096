// Damaged fonts: every truncation of a small font and thousands of random
// corruptions of it and of a real font. Whatever the bytes claim, loading
// and every lookup must stay inside them (checked under AddressSanitizer)
// and answer something.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "gfx/Path.h"
#include "gfx/TrueTypeFont.h"
#include "platform/ByteReader.h"
#include "tests/gfx/TestFontBuilder.h"

namespace quil {
namespace {

using test::TestComponent;
using test::TestFontBuilder;
using test::TestGlyph;

constexpr const char* kLiberationSans =
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

// Asks a font everything: metrics, all byte codes, a spread of code points
// and the outlines of the first `glyphs` glyphs and of every mapped glyph.
// Returns a digest so that the work cannot be optimised away.
uint64_t QueryEverything(const TrueTypeFont& font, uint32_t glyphs) {
    uint64_t digest = static_cast<uint64_t>(static_cast<int64_t>(font.Descent() * 1000)) +
                      static_cast<uint64_t>(static_cast<int64_t>(font.Ascent() * 1000));
    std::vector<uint32_t> mapped;
    for (uint32_t code = 0; code < 257; ++code)
        mapped.push_back(font.GlyphForByte(code));
    for (uint32_t code = 0; code < 0x10000; code += 97)
        mapped.push_back(font.GlyphForUnicode(code));
    for (uint32_t code : {0x20u, 0x41u, 0xC5u, 0x20ACu, 0xFFFFu, 0x10000u}) {
        mapped.push_back(font.GlyphForUnicode(code));
    }
    for (uint32_t g = 0; g < glyphs; ++g)
        mapped.push_back(g);
    mapped.push_back(0xFFFF);
    mapped.push_back(0xFFFFFFFF);
    for (uint32_t g : mapped) {
        digest =
            digest * 31 + g + static_cast<uint64_t>(static_cast<int64_t>(font.Advance(g) * 100));
        Path path;
        float scale = 0;
        if (font.LoadOutline(g, path, scale) == 0)
            digest += path.words().size();
    }
    return digest;
}

TestFontBuilder SmallFont() {
    TestFontBuilder b = TestFontBuilder::Basic();
    TestGlyph nested;
    nested.components = {TestComponent{4, 0x0003, 300, -40, {0x3000, 0x1000}},
                         TestComponent{3, 0x0002, 5, 5, {0x4000, 0, 0x0400, 0x4000}}};
    b.glyphs.push_back(nested);
    b.cmapSubtables.push_back(test::CmapFormat6(0x40, {0, 1, 5, 4, 2}));
    return b;
}

void Corrupt(std::vector<uint8_t>& bytes, std::mt19937& random, size_t hotStart, size_t hotEnd) {
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
        // Half the edits land where the reader's structure lives.
        size_t at = (random() % 2 && hotEnd > hotStart) ? hotStart + random() % (hotEnd - hotStart)
                                                        : random() % bytes.size();
        at = std::min(at, bytes.size() - 1);
        switch (random() % 4) {
            case 0:
                bytes[at] = static_cast<uint8_t>(random());
                break;
            case 1:
                bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
                break;
            default: {
                static const uint16_t kWords[] = {0x0000, 0xFFFF, 0x7FFF, 0x8000, 0x0001, 0xFFFE};
                const uint16_t word =
                    random() % 3 ? kWords[random() % 6] : static_cast<uint16_t>(random());
                bytes[at] = static_cast<uint8_t>(word >> 8);
                if (at + 1 < bytes.size())
                    bytes[at + 1] = static_cast<uint8_t>(word);
                break;
            }
        }
    }
}

TEST(TrueTypeDamageTest, EveryTruncationOfASmallFont) {
    const std::vector<uint8_t> whole = SmallFont().Build();
    TrueTypeFont intact;
    ASSERT_EQ(intact.LoadFromBytes(whole), 0);
    int loaded = 0;
    for (size_t size = 0; size < whole.size(); ++size) {
        TrueTypeFont font;
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + size);
        if (font.LoadFromBytes(part) == 0)
            ++loaded;
        QueryEverything(font, 10);
    }
    // Tables that are read per lookup may be cut and the font still loads.
    EXPECT_GT(loaded, 0);
}

TEST(TrueTypeDamageTest, RandomCorruptionsOfASmallFont) {
    const std::vector<uint8_t> whole = SmallFont().Build();
    std::mt19937 random(20240611);
    int loaded = 0;
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> bytes = whole;
        Corrupt(bytes, random, 0, whole.size());
        TrueTypeFont font;
        if (font.LoadFromBytes(std::move(bytes)) == 0)
            ++loaded;
        QueryEverything(font, 10);
    }
    EXPECT_GT(loaded, 100);
}

TEST(TrueTypeDamageTest, RandomCorruptionsOfARealFont) {
    if (!std::filesystem::exists(kLiberationSans))
        GTEST_SKIP() << kLiberationSans;
    const std::vector<uint8_t> whole = test::ReadFile(kLiberationSans);
    ASSERT_FALSE(whole.empty());
    // Where the directory, cmap, head, hhea and loca lie: the hot zones.
    const ByteReader reader(whole.data(), whole.size());
    std::vector<std::pair<size_t, size_t>> zones = {{0, 12 + 16 * 19}};
    uint16_t tables = 0;
    reader.ReadU16BE(4, tables);
    for (size_t i = 0; i < tables; ++i) {
        uint32_t tag = 0, offset = 0, length = 0;
        reader.ReadU32BE(12 + 16 * i, tag);
        reader.ReadU32BE(12 + 16 * i + 8, offset);
        reader.ReadU32BE(12 + 16 * i + 12, length);
        for (uint32_t hot : {0x636D6170u, 0x68656164u, 0x68686561u, 0x6C6F6361u}) {
            if (tag == hot)
                zones.emplace_back(offset, offset + std::min<uint32_t>(length, 2048));
        }
    }
    std::mt19937 random(777);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = whole;
        const auto& zone = zones[random() % zones.size()];
        Corrupt(bytes, random, zone.first, zone.second);
        TrueTypeFont font;
        font.LoadFromBytes(std::move(bytes));
        QueryEverything(font, 2700);
    }
}

TEST(TrueTypeDamageTest, FuzzSeedsAreWholeFonts) {
    const std::filesystem::path seeds =
        std::filesystem::path(HARKBOX_SOURCE_DIR) / "tests/fuzz/corpus/FuzzFont";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(seeds)) {
        if (entry.path().extension() != ".ttf")
            continue;
        TrueTypeFont font;
        ASSERT_EQ(font.LoadFromBytes(test::ReadFile(entry.path().string())), 0) << entry.path();
        EXPECT_NE(font.GlyphForUnicode('C'), 0u);
        ++count;
    }
    EXPECT_GE(count, 1);
}

}  // namespace
}  // namespace quil
