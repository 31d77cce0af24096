#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gfx/Path.h"

namespace quil::test {

// Writes small TrueType files for tests: the offset table and directory,
// head, hhea, maxp, hmtx, loca, glyf and cmap, with simple glyphs (flags
// compressed with repeats, short and long deltas), composite glyphs, or
// glyph records given byte for byte.

struct TestPoint {
    int x = 0;
    int y = 0;
    bool onCurve = true;
};

struct TestComponent {
    uint16_t glyph = 0;
    // Flags besides those the builder sets itself (0x0001 when an argument
    // needs a word, 0x0020 before a further component, the transform flag).
    uint16_t flags = 0x0002;
    int16_t argument1 = 0;
    int16_t argument2 = 0;
    // 2.14 values: none, one (0x0008), two (0x0040) or four (0x0080).
    std::vector<int16_t> transform;
};

struct TestGlyph {
    std::vector<std::vector<TestPoint>> contours;
    std::vector<TestComponent> components;
    // When not empty, the glyph record exactly as it stands.
    std::vector<uint8_t> raw;
    uint16_t advance = 500;
};

struct CmapSegment {
    uint16_t start = 0;
    uint16_t end = 0;
    uint16_t delta = 0;
    // When not empty, the segment maps through idRangeOffset to these.
    std::vector<uint16_t> glyphIds;
};

std::vector<uint8_t> CmapFormat0(const std::array<uint8_t, 256>& glyphs);
// Adds the closing 0xFFFF segment unless the last segment ends there.
std::vector<uint8_t> CmapFormat4(std::vector<CmapSegment> segments);
std::vector<uint8_t> CmapFormat6(uint16_t firstCode, const std::vector<uint16_t>& glyphs);

class TestFontBuilder {
  public:
    uint16_t unitsPerEm = 1000;
    int16_t yMin = -200;
    int16_t yMax = 800;
    bool longLoca = false;
    // Long metrics in hmtx; -1: one per glyph.
    int horizontalMetricCount = -1;
    std::vector<TestGlyph> glyphs;
    // cmap subtables in encoding-record order.
    std::vector<std::vector<uint8_t>> cmapSubtables;
    // Tables written after the standard ones, tag and bytes.
    std::vector<std::pair<std::string, std::vector<uint8_t>>> extraTables;
    // Standard tables left out.
    std::set<std::string> omit;

    std::vector<uint8_t> Build() const;
    size_t TableCount() const;

    // Glyph 0 a box, 1 a triangle ("A"), 2 empty (" "), 3 four off-curve
    // points ("O"), 4 a composite of 1 moved and 0 at half size ("C");
    // format 0 and format 4 maps.
    static TestFontBuilder Basic();
};

// A decoded path command, for comparing outlines.
struct Command {
    uint32_t header = 0;
    std::vector<float> operands;
    bool operator==(const Command&) const = default;
};
std::vector<Command> Commands(const Path& path);

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);

}  // namespace quil::test
