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

using quil::fuzz::Require;

namespace {

std::vector<uint32_t> ReadAll(quil::ComposedReader reader) {
    std::vector<uint32_t> out;
    while (!reader.done())
        out.push_back(reader.Next());
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input is copied so that the range form has exactly its bytes and no
    // terminator to lean on.
    const std::vector<uint8_t> bytes(data, data + size);
    const std::vector<uint32_t> ranged =
        ReadAll(quil::ComposedReader(quil::Utf8Decoder(bytes.data(), bytes.data() + bytes.size())));

    std::vector<char> terminated(bytes.begin(), bytes.end());
    terminated.push_back('\0');
    const std::vector<uint32_t> zeroEnded =
        ReadAll(quil::ComposedReader(quil::Utf8Decoder::ZeroTerminated(terminated.data())));

    // With a 0 byte inside, the zero-terminated form stops there (possibly
    // inside a sequence, giving a 0 code point) while the range form reads the
    // 0 as a continuation byte, so only input without one must agree.
    Require(std::find(bytes.begin(), bytes.end(), 0) != bytes.end() || ranged == zeroEnded);

    quil::testing::FakeFont font;
    font.failing.insert('x');
    font.advances[0x300] = 0;
    quil::TextStyle style;
    style.font = &font;
    const uint8_t control = size > 0 ? data[0] : 0;
    style.m0 = style.m3 = 8 + (control >> 4);
    style.m2 = (control & 0x8) ? 2.0f : 0.0f;
    style.originX = 3;
    style.originY = 14;
    style.width = 4;
    style.flags = (control & 0x7);
    const quil::Rect view{0, 0, 40 + (control & 0x30), 20};
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const quil::TextLayout layout(text, style, view);
    Require(layout.codePoints() == ranged && layout.drawnCount() <= ranged.size() + 1);

    quil::Path work;
    size_t placed = 0;
    layout.Place(work, [&](const quil::PlacedGlyph&, const quil::Path& outline) {
        placed += quil::OutlineMeetsClip(outline, view) ? 1 : 0;
    });
    Require(placed <= layout.drawnCount());
    (void)quil::MeasureText(text, style);
    return 0;
}
