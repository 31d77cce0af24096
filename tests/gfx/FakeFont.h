#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "gfx/Font.h"
#include "gfx/Path.h"

namespace quil::testing {

// A synthetic font: a listed code point is its own glyph, anything else is
// glyph 0. Every glyph is a box 0.6 em high spanning the middle 80 % of its
// advance, in font units of 1000 per em, unless its outline is made blank
// (loads, empty) or failing (LoadOutline answers -1). Outline loads are
// recorded so tests can see which characters were looked at.
class FakeFont : public Font {
  public:
    static constexpr float kUnitsPerEm = 1000;

    explicit FakeFont(float advance = 0.5f) : missingAdvance(advance) {
        for (uint32_t c = 0x20; c < 0x7F; ++c)
            advances[c] = advance;
        for (uint32_t c : {0x09u, 0x0Au, 0x0Bu, 0x0Cu, 0x0Du, 0xA0u, 0xE9u, 0x1DEu, 0x2026u})
            advances[c] = advance;
        blank.insert(0xA0);
    }

    float Descent() const override { return -0.2f; }
    float Ascent() const override { return 0.8f; }
    uint32_t GlyphForByte(uint32_t code) const override {
        return code < 0x80 ? GlyphForUnicode(code) : 0;
    }
    uint32_t GlyphForUnicode(uint32_t c) const override {
        return c < 0x10000 && advances.count(c) ? c : 0;
    }
    float Advance(uint32_t glyph) const override {
        const auto found = advances.find(glyph);
        return glyph != 0 && found != advances.end() ? found->second : missingAdvance;
    }
    int LoadOutline(uint32_t glyph, Path& path, float& scale) const override {
        loads.push_back(glyph);
        if (failing.count(glyph))
            return -1;
        scale = 1 / kUnitsPerEm;
        if (blank.count(glyph))
            return 0;
        const float a = Advance(glyph) * kUnitsPerEm;
        path.MoveTo(0.1f * a, 0);
        path.LineTo(0.9f * a, 0);
        path.LineTo(0.9f * a, 600);
        path.LineTo(0.1f * a, 600);
        path.Close();
        return 0;
    }

    std::map<uint32_t, float> advances;  // listed code points and their advances (em)
    float missingAdvance;                // advance of glyph 0
    std::set<uint32_t> blank;
    std::set<uint32_t> failing;
    mutable std::vector<uint32_t> loads;
};

}  // namespace quil::testing
