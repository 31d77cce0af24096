// Fills shapes made of arbitrary words: a clip and a capacity, then path
// commands whose operands are raw 32-bit floats (NaN, infinities and huge
// values included), then the same words fed as 16.16 points directly.
#include <bit>
#include <vector>

#include "gfx/Image.h"
#include "gfx/Mask.h"
#include "gfx/Path.h"
#include "gfx/Rasterizer.h"
#include "platform/ByteCursor.h"
#include "platform/ByteReader.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quil;
    ByteCursor in(ByteReader(data, size));
    const int32_t left = in.I8();
    const int32_t top = in.I8();
    const Rect clip{left, top, left + (in.U8() & 63), top + (in.U8() & 63)};
    const uint32_t capacity = in.U16LE();
    if (!in.ok())
        return 0;

    Path path;
    std::vector<int32_t> raw;
    while (in.remaining() >= 1) {
        const uint8_t command = in.U8();
        float f[4];
        for (float& v : f) {
            const uint32_t word = in.U32LE();
            raw.push_back(static_cast<int32_t>(word));
            v = std::bit_cast<float>(word);
        }
        if (!in.ok())
            break;
        const int kind = command % 5;
        if (kind == 0)
            path.MoveTo(f[0], f[1]);
        else if (kind == 1)
            path.LineTo(f[0], f[1]);
        else if (kind == 2)
            path.QuadTo(f[0], f[1], f[2], f[3]);
        else if (kind == 3)
            path.Close();
        else
            path.CloseQuad(f[0], f[1]);
    }

    Rasterizer r(clip, capacity);
    r.FillPath(path);
    r.BeginContour();
    for (size_t i = 0; i + 3 < raw.size(); i += 4) {
        if (i == 0)
            r.MoveTo(raw[i], raw[i + 1]);
        r.QuadTo(raw[i], raw[i + 1], raw[i + 2], raw[i + 3]);
        r.LineTo(raw[i + 1], raw[i + 2]);
    }
    r.CloseContour();

    Mask mask;
    if (mask.SetBounds(Rect{0, 0, 40, 40}))
        r.ResolveToMask(mask, clip, Point{left / 2, top / 3});
    Image image;
    if (image.SetBounds(Rect{-8, -8, 24, 24})) {
        image.Fill(0x80402010);
        r.ResolveOverImage(image, Rect{left + 3, top - 2, left + 70, top + 9}, Point{0, 0},
                           0xC0A08060);
    }
    return 0;
}
