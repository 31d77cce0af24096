#pragma once

#include <cstdint>
#include <span>

#include "gfx/Image.h"
#include "gfx/Mask.h"

// The skin artwork: every embedded image of the window, drawn from shapes at
// its final size. All pieces are grey or white (the window's colours are put
// on at start-up); images hold premultiplied 0xAARRGGBB pixels, masks 8-bit
// coverage. Each draw function gives its grid bounds (0, 0, width, height)
// and returns false only without memory.

namespace quil::art {

// Where the ends of the window body lie. The body is 60 rows tall with 3
// free rows above and below. Its left end is a rectangle whose left corners
// are quarter ellipses with radii kCornerRadiusX, kCornerRadiusY; the
// corners stay flat enough for the window buttons near the right end's top,
// and the columns right of kCornerCentreX are plain body, so the right end's
// first column tiles cleanly into the middle.
inline constexpr int32_t kCapWidth = 24;
inline constexpr int32_t kCapHeight = 66;
inline constexpr float kBodyLeft = 3;
inline constexpr float kBodyTop = 3;
inline constexpr float kBodyBottom = 63;
inline constexpr float kBodyMidY = 33;
inline constexpr float kCornerRadiusX = 15;
inline constexpr float kCornerRadiusY = 19;
inline constexpr float kCornerCentreX = kBodyLeft + kCornerRadiusX;

bool DrawLeftCapMask(Mask& mask);
bool DrawRightCapMask(Mask& mask);
bool DrawLeftCapShading(Image& image);
bool DrawRightCapShading(Image& image);

// Circular 24 x 24 buttons; state 2 normal, 0 pressed, 1 disabled.
bool DrawIdentifyButton(Image& image, int state);
bool DrawStopButton(Image& image, int state);
// 12 x 12 disc with an arrow; the dark one is the pressed look.
bool DrawLinkButton(Image& image, bool dark);

// 8 x 8 window-control glyphs.
bool DrawCloseGlyph(Mask& mask);
bool DrawZoomGlyph(Mask& mask);
bool DrawMinimizeGlyph(Mask& mask);

// 16 x 16 hatch marks that sit in the body's lower right corner.
bool DrawResizeGrip(Image& image);

// One embedded image: its name (file data/skin/<name>.img), its size and
// kind, and how to draw it.
struct ArtPiece {
    const char* name;
    int32_t width;
    int32_t height;
    bool isMask;
    bool (*drawMask)(Mask&);
    bool (*drawImage)(Image&);
};

// Every piece, in a fixed order.
std::span<const ArtPiece> SkinPieces();

}  // namespace quil::art
