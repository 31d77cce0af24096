#include "data/ArtCanvas.h"
#include "data/ArtShapes.h"
#include "data/SkinArt.h"

namespace quil::art {

namespace {

constexpr int32_t kGlyphSize = 8;

// A one-pixel square outline on the pixel grid with rounded corners, and
// the given inner mark united with it.
bool Framed(Mask& mask, const Path& inner) {
    if (!BlankMask(mask, kGlyphSize, kGlyphSize))
        return false;
    Path frame;
    AddRoundRect(frame, 0, 0, 8, 8, 2.2f);
    AddRoundRect(frame, 1, 1, 7, 7, 1.2f);
    Rasterise(frame, mask);
    Mask mark;
    if (!BlankMask(mark, kGlyphSize, kGlyphSize))
        return false;
    Rasterise(inner, mark);
    Unite(mask, mark);
    return true;
}

}  // namespace

bool DrawCloseGlyph(Mask& mask) {
    Path one;
    AddStroke(one, 2.6f, 2.6f, 5.4f, 5.4f, 1.3f);
    Path two;
    AddStroke(two, 5.4f, 2.6f, 2.6f, 5.4f, 1.3f);
    if (!Framed(mask, one))
        return false;
    Mask part;
    if (!BlankMask(part, kGlyphSize, kGlyphSize))
        return false;
    Rasterise(two, part);
    Unite(mask, part);
    return true;
}

bool DrawZoomGlyph(Mask& mask) {
    Path bar;
    AddRect(bar, 1, 1, 7, 3);
    return Framed(mask, bar);
}

bool DrawMinimizeGlyph(Mask& mask) {
    Path bar;
    AddRect(bar, 2, 5, 6, 6);
    return Framed(mask, bar);
}

}  // namespace quil::art
