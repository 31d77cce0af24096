// Arbitrary bytes as song text: decoded in both forms through the composing
// reader and laid out with a synthetic font, with the ellipsis and alignment
// chosen by the first byte. Nothing may read outside the input, and the two
// decoder forms must agree on input without a 0 byte.
#include <algorithm>
#include <string_view>
#include <vector>

#include "gfx/ComposedReader.h"
#include "gfx/TextLayout.h"
#include "gfx/Utf8.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/gfx/FakeFont.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quil;
    // The range form reads the input's bytes only; the other form gets a copy
    // with a terminator.
    std::vector<char> terminated(data, data + size);
    terminated.push_back('\0');
    const auto readAll = [](ComposedReader reader) {
        std::vector<uint32_t> out;
        while (!reader.done())
            out.push_back(reader.Next());
        return out;
    };
    const auto ranged = readAll(ComposedReader(Utf8Decoder(data, data + size)));
    // With a 0 byte inside, the zero-terminated form stops there (possibly
    // inside a sequence, giving a 0 code point) while the range form reads
    // the 0 as a continuation byte, so only input without one must agree.
    fuzz::Require(std::find(data, data + size, 0) != data + size ||
                  ranged ==
                      readAll(ComposedReader(Utf8Decoder::ZeroTerminated(terminated.data()))));

    testing::FakeFont font;
    font.failing.insert('x');
    font.advances[0x300] = 0;
    const uint8_t control = size > 0 ? data[0] : 0;
    TextStyle style;
    style.font = &font;
    style.m0 = style.m3 = 8 + (control >> 4);
    style.m2 = (control & 0x8) ? 2.0f : 0.0f;
    style.originX = 3;
    style.originY = 14;
    style.width = 4;
    style.flags = (control & 0x7);
    const Rect view{0, 0, 40 + (control & 0x30), 20};
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const TextLayout layout(text, style, view);
    fuzz::Require(layout.codePoints() == ranged && layout.drawnCount() <= ranged.size() + 1);
    size_t placed = 0;
    Path work;
    layout.Place(work, [&](const PlacedGlyph&, const Path& outline) {
        placed += OutlineMeetsClip(outline, view) ? 1 : 0;
    });
    fuzz::Require(placed <= layout.drawnCount());
    (void)MeasureText(text, style);
    return 0;
}
