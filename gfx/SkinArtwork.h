#pragma once

#include "gfx/Image.h"
#include "gfx/Mask.h"

namespace quil {

// The embedded pictures the skin is made from, as grids that wrap the
// program's read-only data (or, in tests, own synthetic pixels). Images are
// premultiplied 0xAARRGGBB, masks are coverage bytes; all start at (0, 0).
// The skin build reads them; the images that views show are in `Skin`,
// except the buttons' state images, which views show straight from here.
struct SkinArtwork {
    Image linkButtonDark;     // 12 x 12, pressed look of the link button
    Image linkButtonLight;    // 12 x 12, normal and disabled look
    Mask closeGlyph;          // 8 x 8
    Mask zoomGlyph;           // 8 x 8
    Mask minimizeGlyph;       // 8 x 8
    Image identifyButton[3];  // 24 x 24: pressed, disabled, normal
    Image stopButton[3];      // 24 x 24: pressed, disabled, normal
    Mask leftCapMask;         // 24 x 66, the window body's left end
    Mask rightCapMask;        // 24 x 66, the right end
    Image leftCapShading;     // 24 x 66, rim and highlight over the left end
    Image rightCapShading;    // 24 x 66, the same for the right end
    Image resizeGrip;         // 16 x 16
};

}  // namespace quil
