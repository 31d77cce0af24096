#include <cmath>

#include "data/ArtCanvas.h"
#include "data/ArtShapes.h"
#include "data/SkinArt.h"

namespace quil::art {

// The grip's 16 x 16 square has its lower right corner 6 pixels in from the
// window's right and bottom edges, where the right end of the body curves
// away. The marks are short strokes across the corner's diagonal, set back
// from the point where the body's edge faces down-right, the shortest one
// nearest to it, like the ridges of a classic grip.
bool DrawResizeGrip(Image& image) {
    constexpr int32_t kSize = 16;
    if (!BlankImage(image, kSize, kSize))
        return false;
    // The centre of the right end's lower corner in grip coordinates (the
    // grip's top left lies 22 pixels in from the window's right and bottom
    // edges), and the point of the corner's edge that faces down-right.
    const double cx = 22 - kCornerCentreX;
    const double cy = (kBodyBottom - kCornerRadiusY) - (kCapHeight - 22);
    const double t = std::atan2(double{kCornerRadiusY}, double{kCornerRadiusX});
    const double ex = cx + kCornerRadiusX * std::cos(t);
    const double ey = cy + kCornerRadiusY * std::sin(t);
    const double n = std::sqrt(0.5);
    Mask marks;
    Mask part;
    if (!BlankMask(marks, kSize, kSize) || !BlankMask(part, kSize, kSize))
        return false;
    Mask shade;
    Mask shadePart;
    if (!BlankMask(shade, kSize, kSize) || !BlankMask(shadePart, kSize, kSize))
        return false;
    const float depth[] = {4.0f, 7.0f, 10.0f};
    const float half[] = {1.6f, 3.2f, 4.8f};
    for (int i = 0; i < 3; ++i) {
        const double mx = ex - n * depth[i];
        const double my = ey - n * depth[i];
        const auto x0 = static_cast<float>(mx - n * half[i]);
        const auto y0 = static_cast<float>(my + n * half[i]);
        const auto x1 = static_cast<float>(mx + n * half[i]);
        const auto y1 = static_cast<float>(my - n * half[i]);
        Path ridge;
        AddStroke(ridge, x0, y0, x1, y1, 1.1f);
        Rasterise(ridge, part);
        Unite(marks, part);
        Path groove;
        AddStroke(groove, x0 + 0.8f, y0 + 0.8f, x1 + 0.8f, y1 + 0.8f, 1.0f);
        Rasterise(groove, shadePart);
        Unite(shade, shadePart);
    }
    Paint(image, shade, Grey(0, 0x50));
    Paint(image, marks, Grey(255, 0xA0));
    return true;
}

}  // namespace quil::art
