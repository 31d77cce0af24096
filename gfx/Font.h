#pragma once

#include <cstdint>

namespace quil {

class Path;

// A source of glyphs. Metrics are in em units (one em = the font size),
// with y growing upwards from the baseline.
class Font {
public:
    virtual ~Font() = default;

    // Lowest y of the font, in em units (negative below the baseline).
    virtual float Descent() const = 0;
    // Highest y of the font, in em units.
    virtual float Ascent() const = 0;
    // Glyph for an 8-bit character code; 0 when there is none.
    virtual uint32_t GlyphForByte(uint32_t code) const = 0;
    // Glyph for a code point of the Basic Multilingual Plane; 0 when there is none.
    virtual uint32_t GlyphForUnicode(uint32_t codePoint) const = 0;
    // Advance width of a glyph in em units.
    virtual float Advance(uint32_t glyph) const = 0;
    // Appends the glyph's outline to `path` in font units (y up) and sets
    // `scale` to the factor from font units to em units. 0 on success,
    // non-zero on failure (then `path` is unchanged).
    virtual int LoadOutline(uint32_t glyph, Path& path, float& scale) const = 0;
};

}  // namespace quil
