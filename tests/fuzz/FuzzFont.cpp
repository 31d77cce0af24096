// Fuzz entry: a font file from arbitrary bytes, then every kind of lookup.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/Path.h"
#include "gfx/TrueTypeFont.h"

namespace {

void Outline(const quil::TrueTypeFont& font, uint32_t glyph) {
    quil::Path path;
    float scale = 0;
    if (font.LoadOutline(glyph, path, scale) == 0)
        (void)path.Bounds();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quil::TrueTypeFont font;
    if (font.LoadFromBytes(std::vector<uint8_t>(data, data + size)) != 0)
        return 0;
    (void)font.Descent();
    (void)font.Ascent();
    for (uint32_t code = 0; code < 257; ++code) {
        const uint32_t glyph = font.GlyphForByte(code);
        (void)font.Advance(glyph);
        Outline(font, glyph);
    }
    for (uint32_t code = 0; code <= 0x10000; code += code < 0x300 ? 1 : 251) {
        const uint32_t glyph = font.GlyphForUnicode(code);
        if (glyph == 0)
            continue;
        (void)font.Advance(glyph);
        Outline(font, glyph);
    }
    for (uint32_t glyph = 0; glyph < 300; ++glyph) {
        (void)font.Advance(glyph);
        Outline(font, glyph);
    }
    Outline(font, 0xFFFF);
    Outline(font, 0xFFFFFFFF);
    return 0;
}
