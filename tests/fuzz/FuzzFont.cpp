// Fuzz entry: a font file from arbitrary bytes, then every kind of lookup.
#include <vector>

#include "gfx/Path.h"
#include "gfx/TrueTypeFont.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quil::TrueTypeFont font;
    if (font.LoadFromBytes(std::vector<uint8_t>(data, data + size)) != 0)
        return 0;
    (void)(font.Descent() + font.Ascent());
    const auto glyph = [&](uint32_t id) {
        quil::Path path;
        float scale = 0;
        (void)font.Advance(id);
        if (font.LoadOutline(id, path, scale) == 0)
            (void)path.Bounds();
    };
    for (uint32_t code = 0; code < 257; ++code)
        glyph(font.GlyphForByte(code));
    for (uint32_t code = 0; code <= 0x10000; code += code < 0x300 ? 1 : 251)
        glyph(font.GlyphForUnicode(code));
    for (uint32_t id = 0; id < 300; ++id)
        glyph(id);
    glyph(0xFFFF);
    glyph(0xFFFFFFFF);
    return 0;
}
