#include <numbers>

#include "data/ArtCanvas.h"
#include "data/ArtShapes.h"
#include "data/SkinArt.h"

namespace quil::art {

namespace {

// The left end of the body grown outwards by `grow` pixels (negative
// shrinks it): rounded corners on the left, straight edges running on past
// the right edge of the piece so that nothing closes inside it.
void AddBody(Path& path, float grow) {
    const double pi = std::numbers::pi;
    const float rx = kCornerRadiusX + grow;
    const float ry = kCornerRadiusY + grow;
    const float right = kCapWidth + 8;
    const float upper = kBodyTop + kCornerRadiusY;
    const float lower = kBodyBottom - kCornerRadiusY;
    path.MoveTo(right, kBodyTop - grow);
    path.LineTo(kCornerCentreX, kBodyTop - grow);
    ArcTo(path, kCornerCentreX, upper, rx, ry, -pi / 2, -pi);
    path.LineTo(kBodyLeft - grow, lower);
    ArcTo(path, kCornerCentreX, lower, rx, ry, -pi, -1.5 * pi);
    path.LineTo(right, kBodyBottom + grow);
    path.Close();
}

// The band between the body grown by `outer` and by `inner` (inner < outer).
bool Band(Mask& mask, float outer, float inner) {
    if (!BlankMask(mask, kCapWidth, kCapHeight))
        return false;
    Path path;
    AddBody(path, outer);
    AddBody(path, inner);
    Rasterise(path, mask);
    return true;
}

// The body grown by `grow` pixels.
bool Body(Mask& mask, float grow) {
    if (!BlankMask(mask, kCapWidth, kCapHeight))
        return false;
    Path path;
    AddBody(path, grow);
    Rasterise(path, mask);
    return true;
}

float Clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

}  // namespace

bool DrawLeftCapMask(Mask& mask) {
    return Body(mask, 0);
}

bool DrawRightCapMask(Mask& mask) {
    Mask left;
    if (!DrawLeftCapMask(left))
        return false;
    Mirror(left, mask);
    return mask.HasStorage();
}

// Every layer of the shading depends on y only along the straight part of
// the body, so the right end's first column, tiled across the middle, carries
// the same rim and highlight as the ends.
bool DrawLeftCapShading(Image& image) {
    if (!BlankImage(image, kCapWidth, kCapHeight))
        return false;
    Mask band;
    // A soft shadow just outside the body.
    if (!Band(band, 2, 1))
        return false;
    Paint(image, band, Grey(0, 0x14));
    if (!Band(band, 1, 0))
        return false;
    Paint(image, band, Grey(0, 0x30));
    // Gloss over the upper half, fading out towards the middle.
    if (!Body(band, -2))
        return false;
    Paint(image, band, Grey(255, 0x30), [](int32_t, int32_t y) {
        return Clamp01((kBodyMidY - 2 - static_cast<float>(y)) / (kBodyMidY - kBodyTop - 4));
    });
    // Light catching the upper inner edge, shade along the lower one.
    if (!Band(band, -1, -2))
        return false;
    Paint(image, band, Grey(255, 0x90), [](int32_t, int32_t y) {
        return Clamp01((kBodyMidY + 4 - static_cast<float>(y)) / (kBodyMidY - kBodyTop));
    });
    Paint(image, band, Grey(0, 0x40), [](int32_t, int32_t y) {
        return Clamp01((static_cast<float>(y) - kBodyMidY - 4) / (kBodyBottom - kBodyMidY - 8));
    });
    // The rim.
    if (!Band(band, 0, -1))
        return false;
    Paint(image, band, Grey(0, 0x78));
    return true;
}

bool DrawRightCapShading(Image& image) {
    Image left;
    if (!DrawLeftCapShading(left))
        return false;
    Mirror(left, image);
    return image.HasStorage();
}

}  // namespace quil::art
