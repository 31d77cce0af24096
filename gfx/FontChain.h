#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gfx/Font.h"

namespace quil {

// Several fonts behind one Font: a character missing from one font is taken
// from the next. The glyph indices it hands out carry the font's position in
// the chain in their top 8 bits and that font's own glyph in the low 24, so
// only the first 256 fonts are ever asked. Units as Font: em units, y up.
class FontChain : public Font {
  public:
    static constexpr size_t kMaxFonts = 256;

    // Appends a font; the chain owns it from now on. A null font is ignored.
    void Add(std::unique_ptr<Font> font);
    size_t size() const { return fonts_.size(); }
    bool empty() const { return fonts_.empty(); }

    // The lowest Descent and highest Ascent over all fonts and 0.
    float Descent() const override;
    float Ascent() const override;
    // The first non-zero answer of the fonts in order, tagged with the
    // answering font's position; 0 when no font has the character.
    uint32_t GlyphForByte(uint32_t code) const override;
    uint32_t GlyphForUnicode(uint32_t codePoint) const override;
    // Passed to the font the glyph's top byte names. A position beyond the
    // chain has no glyph: Advance answers 0, LoadOutline fails (-1).
    float Advance(uint32_t glyph) const override;
    int LoadOutline(uint32_t glyph, Path& path, float& scale) const override;

  private:
    template <typename Lookup>
    uint32_t FirstGlyph(Lookup lookup) const;
    const Font* FontOf(uint32_t glyph) const;

    std::vector<std::unique_ptr<Font>> fonts_;
};

}  // namespace quil
