#include "data/ArtCanvas.h"
#include "data/ArtShapes.h"
#include "data/SkinArt.h"

namespace quil::art {

namespace {

constexpr int32_t kButtonSize = 24;
constexpr float kCentre = 12;
constexpr float kRadius = 11;

enum State { kPressed = 0, kDisabled = 1, kNormal = 2 };

// Coverage of `path` on a button-sized mask.
bool Shape(Mask& mask, const Path& path) {
    if (!BlankMask(mask, kButtonSize, kButtonSize))
        return false;
    Rasterise(path, mask);
    return true;
}

// The magnifier: a lens ring and a handle towards the lower right, drawn as
// one shape so that the handle's join keeps the glyph's opacity even.
bool Magnifier(Mask& glyph, float dx, float dy) {
    Path lens;
    AddCircle(lens, 10.5f + dx, 10.5f + dy, 5.5f);
    AddCircle(lens, 10.5f + dx, 10.5f + dy, 3.5f);
    Path handle;
    AddStroke(handle, 14.8f + dx, 14.8f + dy, 17.5f + dx, 17.5f + dy, 2.8f);
    Mask part;
    if (!Shape(glyph, lens) || !Shape(part, handle))
        return false;
    Unite(glyph, part);
    return true;
}

bool Cross(Mask& glyph, float dx, float dy) {
    Path one;
    AddStroke(one, 8.2f + dx, 8.2f + dy, 15.8f + dx, 15.8f + dy, 2.6f);
    Path two;
    AddStroke(two, 15.8f + dx, 8.2f + dy, 8.2f + dx, 15.8f + dy, 2.6f);
    Mask part;
    if (!Shape(glyph, one) || !Shape(part, two))
        return false;
    Unite(glyph, part);
    return true;
}

// Circles are placed with their top and bottom on pixel edges, where their
// outline stays crisp.
//
// The round face under the glyph, in one of the three states. Pressed
// looks sunk: darker face, shade along the upper inner edge, glyph moved
// down by a pixel; disabled is a faded normal.
bool Button(Image& image, int state, bool (*glyph)(Mask&, float, float)) {
    if (!BlankImage(image, kButtonSize, kButtonSize))
        return false;
    Mask face;
    Mask band;
    Path path;
    AddCircle(path, kCentre, kCentre, kRadius);
    if (!Shape(face, path))
        return false;
    Path rim;
    AddCircle(rim, kCentre, kCentre, kRadius);
    AddCircle(rim, kCentre, kCentre, kRadius - 1);
    if (!Shape(band, rim))
        return false;

    const float top = kCentre - kRadius;
    const auto upper = [top](int32_t, int32_t y) {
        return 1.0f - (static_cast<float>(y) - top) / (2 * kRadius) * 1.6f;
    };
    const auto lower = [top](int32_t, int32_t y) {
        return (static_cast<float>(y) - top) / (2 * kRadius) * 1.6f - 0.6f;
    };

    Mask mark;
    if (state == kNormal) {
        Path shadow;
        AddCircle(shadow, kCentre, kCentre + 1, kRadius);
        Mask drop;
        if (!Shape(drop, shadow))
            return false;
        Paint(image, drop, Grey(0, 0x38));
        Paint(image, face, Grey(255, 0x38));
        Paint(image, face, Grey(255, 0x30), upper);
        Paint(image, band, Grey(255, 0xB0));
        Paint(image, band, Grey(0, 0x30), lower);
        if (!glyph(mark, 0, 0))
            return false;
        Paint(image, mark, Grey(255, 0xFF));
    } else if (state == kPressed) {
        Paint(image, face, Grey(0, 0x50));
        Paint(image, band, Grey(255, 0x70));
        Path inner;
        AddCircle(inner, kCentre, kCentre, kRadius - 1);
        AddCircle(inner, kCentre, kCentre + 1, kRadius - 2);
        Mask shade;
        if (!Shape(shade, inner))
            return false;
        Paint(image, shade, Grey(0, 0x60), upper);
        if (!glyph(mark, 0.5f, 1))
            return false;
        Paint(image, mark, Grey(235, 0xFF));
    } else {
        Paint(image, face, Grey(255, 0x18));
        Paint(image, band, Grey(255, 0x50));
        if (!glyph(mark, 0, 0))
            return false;
        Paint(image, mark, Grey(255, 0x68));
    }
    return true;
}

}  // namespace

bool DrawIdentifyButton(Image& image, int state) {
    return Button(image, state, Magnifier);
}
bool DrawStopButton(Image& image, int state) {
    return Button(image, state, Cross);
}

bool DrawLinkButton(Image& image, bool dark) {
    constexpr int32_t kSize = 12;
    if (!BlankImage(image, kSize, kSize))
        return false;
    Path disc;
    AddCircle(disc, 6, 6, 6);
    Paint(image, disc, dark ? Grey(0x78, 0xFF) : Grey(0xB4, 0xFF));
    // Shaft and head, united so their overlap stays plain white.
    Path shaft;
    AddRect(shaft, 2.8f, 5.1f, 6.6f, 6.9f);
    Path head;
    const float tip[] = {5.6f, 2.6f, 9.4f, 6.0f, 5.6f, 9.4f};
    AddPolygon(head, tip, 3);
    Mask arrow;
    Mask part;
    if (!BlankMask(arrow, kSize, kSize) || !BlankMask(part, kSize, kSize))
        return false;
    Rasterise(shaft, arrow);
    Rasterise(head, part);
    Unite(arrow, part);
    Paint(image, arrow, Grey(255, 0xFF));
    return true;
}

}  // namespace quil::art
