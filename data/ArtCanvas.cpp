#include "data/ArtCanvas.h"

#include <cmath>

#include "gfx/PixelArithmetic.h"
#include "gfx/Rasterizer.h"

namespace quil::art {

namespace {
// Flag blocks for one piece: every pixel of the largest piece (24 x 66)
// fits many times over.
constexpr uint32_t kBlocks = 0x10000;

template <typename Grid>
void MirrorGrid(const Grid& src, Grid& dst) {
    const Rect b = src.bounds();
    if (!dst.SetBounds(b))
        return;
    for (int32_t y = b.top; y < b.bottom; ++y) {
        for (int32_t x = b.left; x < b.right; ++x) {
            *dst.At(b.right - 1 - (x - b.left), y) = *src.At(x, y);
        }
    }
}
}  // namespace

bool BlankMask(Mask& mask, int32_t width, int32_t height) {
    if (!mask.SetBounds(Rect{0, 0, width, height}))
        return false;
    mask.Fill(0);
    return true;
}

bool BlankImage(Image& image, int32_t width, int32_t height) {
    if (!image.SetBounds(Rect{0, 0, width, height}))
        return false;
    image.Fill(0);
    return true;
}

void Rasterise(const Path& path, Mask& into) {
    const Rect b = into.bounds();
    Rasterizer rasterizer(b, kBlocks);
    rasterizer.FillPath(path);
    rasterizer.ResolveToMask(into, b, Point{b.left, b.top});
}

void Unite(Mask& dst, const Mask& src) {
    const Rect b = dst.bounds().Intersect(src.bounds());
    for (int32_t y = b.top; y < b.bottom; ++y) {
        for (int32_t x = b.left; x < b.right; ++x) {
            const uint32_t a = *dst.At(x, y);
            const uint32_t s = *src.At(x, y);
            *dst.At(x, y) = static_cast<uint8_t>(a + s - a * s / 255);
        }
    }
}

void Paint(Image& image, const Mask& coverage, uint32_t colour,
           const std::function<float(int32_t x, int32_t y)>& weight) {
    const Rect b = image.bounds().Intersect(coverage.bounds());
    for (int32_t y = b.top; y < b.bottom; ++y) {
        for (int32_t x = b.left; x < b.right; ++x) {
            uint32_t cov = *coverage.At(x, y);
            if (weight) {
                const float w = std::fmin(1.0f, std::fmax(0.0f, weight(x, y)));
                cov = static_cast<uint32_t>(std::lround(static_cast<float>(cov) * w));
            }
            // Full coverage keeps the colour's own alpha; partial coverage
            // scales the whole premultiplied colour.
            uint32_t src = colour;
            if (cov < 255) {
                src = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    src |= (((colour >> shift) & 0xFF) * cov / 255) << shift;
                }
            }
            *image.At(x, y) = composeOver(*image.At(x, y), src);
        }
    }
}

void Paint(Image& image, const Path& path, uint32_t colour) {
    Mask coverage;
    if (!BlankMask(coverage, static_cast<int32_t>(image.bounds().Width()),
                   static_cast<int32_t>(image.bounds().Height()))) {
        return;
    }
    Rasterise(path, coverage);
    Paint(image, coverage, colour);
}

uint32_t Grey(uint32_t level, uint32_t alpha) {
    const uint32_t c = level * alpha / 255;
    return alpha << 24 | c << 16 | c << 8 | c;
}

void Mirror(const Mask& src, Mask& dst) {
    MirrorGrid(src, dst);
}
void Mirror(const Image& src, Image& dst) {
    MirrorGrid(src, dst);
}

}  // namespace quil::art
