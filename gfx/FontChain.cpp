#include "gfx/FontChain.h"

#include <algorithm>
#include <utility>

namespace quil {

namespace {

constexpr uint32_t kGlyphMask = 0xFFFFFF;
constexpr int kPositionShift = 24;

}  // namespace

void FontChain::Add(std::unique_ptr<Font> font) {
    if (font)
        fonts_.push_back(std::move(font));
}

float FontChain::Descent() const {
    float descent = 0;
    for (const auto& font : fonts_)
        descent = std::min(descent, font->Descent());
    return descent;
}

float FontChain::Ascent() const {
    float ascent = 0;
    for (const auto& font : fonts_)
        ascent = std::max(ascent, font->Ascent());
    return ascent;
}

template <typename Lookup>
uint32_t FontChain::FirstGlyph(Lookup lookup) const {
    const size_t count = std::min(fonts_.size(), kMaxFonts);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t glyph = lookup(*fonts_[i]);
        // An answer too wide for the low 24 bits could not be told apart
        // from another font's glyph; such a font does not count as having it.
        if (glyph != 0 && glyph <= kGlyphMask) {
            return glyph | static_cast<uint32_t>(i) << kPositionShift;
        }
    }
    return 0;
}

uint32_t FontChain::GlyphForByte(uint32_t code) const {
    return FirstGlyph([code](const Font& font) { return font.GlyphForByte(code); });
}

uint32_t FontChain::GlyphForUnicode(uint32_t codePoint) const {
    return FirstGlyph([codePoint](const Font& font) { return font.GlyphForUnicode(codePoint); });
}

const Font* FontChain::FontOf(uint32_t glyph) const {
    const size_t position = glyph >> kPositionShift;
    return position < fonts_.size() ? fonts_[position].get() : nullptr;
}

float FontChain::Advance(uint32_t glyph) const {
    const Font* font = FontOf(glyph);
    return font ? font->Advance(glyph & kGlyphMask) : 0;
}

int FontChain::LoadOutline(uint32_t glyph, Path& path, float& scale) const {
    const Font* font = FontOf(glyph);
    return font ? font->LoadOutline(glyph & kGlyphMask, path, scale) : -1;
}

}  // namespace quil
