#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "gfx/Font.h"
#include "gfx/Path.h"

namespace quil::testing {

// A synthetic font for the text, view and fuzz tests: a listed code point
// is its own glyph, anything else is glyph 0. Every glyph is a box 0.6 em
// high spanning the middle 80 % of its advance (font units of 1000 per em);
// U+00A0 loads a blank outline, a failing glyph none. Loads are recorded.
class FakeFont : public Font {
  public:
    FakeFont() {
        for (uint32_t c = 0x09; c < 0x7F; ++c)
            advances[c] = 0.5f;
        for (uint32_t c : {0xA0u, 0xE9u, 0x1DEu, 0x2026u})
            advances[c] = 0.5f;
    }
    float Descent() const override { return -0.2f; }
    float Ascent() const override { return 0.8f; }
    uint32_t GlyphForByte(uint32_t code) const override { return GlyphForUnicode(code); }
    uint32_t GlyphForUnicode(uint32_t c) const override { return advances.count(c) ? c : 0; }
    float Advance(uint32_t glyph) const override {
        return glyph != 0 ? advances.at(glyph) : missingAdvance;
    }
    int LoadOutline(uint32_t glyph, Path& path, float& scale) const override {
        loads.push_back(glyph);
        if (failing.count(glyph))
            return -1;
        scale = 0.001f;
        const float a = Advance(glyph) * 1000;
        if (glyph != 0xA0) {  // no-break space: blank
            path.MoveTo(0.1f * a, 0);
            path.LineTo(0.9f * a, 0);
            path.LineTo(0.9f * a, 600);
            path.LineTo(0.1f * a, 600);
            path.Close();
        }
        return 0;
    }

    std::map<uint32_t, float> advances;
    float missingAdvance = 0.5f;
    std::set<uint32_t> failing;
    mutable std::vector<uint32_t> loads;
};

}  // namespace quil::testing
