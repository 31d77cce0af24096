#include "gfx/Skin.h"

#include "gfx/Compositing.h"

namespace quil {

namespace {

// Real opacity 0.0..1.0 to 0..255 by truncation; out-of-range values (and
// NaN) are held to the ends rather than converted with undefined results.
uint32_t OpacityByte(float opacity) {
    if (!(opacity > 0.0f))
        return 0;
    if (opacity >= 1.0f)
        return 255;
    return static_cast<uint32_t>(opacity * 255.0f);
}

// Gives `image` the mask's bounds on first use. A fresh image starts
// transparent: the write entry leaves pixels alone at opacity 0 and outside
// the mask, and those must not show uninitialised memory.
bool Prepare(Image& image, const Mask& mask) {
    if (image.HasStorage())
        return true;
    if (!image.SetBounds(mask.bounds()))
        return false;
    image.Fill(0);
    return true;
}

void WriteMask(Image& image, const Mask& mask, uint32_t colour, uint32_t opacity) {
    writeMaskColour(image, image.bounds(), Point{}, mask, mask.bounds(), Point{}, colour, opacity);
}

bool BuildEnd(Image& end, const Mask& capMask, const Image& shading, uint32_t background,
              uint32_t opacity) {
    if (!Prepare(end, capMask))
        return false;
    WriteMask(end, capMask, background, opacity);
    overImage(end, end.bounds(), Point{}, shading, shading.bounds(), Point{});
    return true;
}

bool BuildGlyph(Image (&images)[3], const Mask& glyph, uint32_t control) {
    for (int s = 0; s < 3; ++s) {
        if (!Prepare(images[s], glyph))
            return false;
        WriteMask(images[s], glyph, control, Skin::kStrengthOpacity[s]);
    }
    return true;
}

}  // namespace

bool Skin::Build(const SkinArtwork& art, uint32_t background, float backgroundOpacity,
                 uint32_t control) {
    const uint32_t opacity = OpacityByte(backgroundOpacity);
    return BuildEnd(leftEnd_, art.leftCapMask, art.leftCapShading, background, opacity) &&
           BuildEnd(rightEnd_, art.rightCapMask, art.rightCapShading, background, opacity) &&
           BuildGlyph(close_, art.closeGlyph, control) &&
           BuildGlyph(zoom_, art.zoomGlyph, control) &&
           BuildGlyph(minimize_, art.minimizeGlyph, control);
}

}  // namespace quil
