#pragma once

#include <cstdint>
#include <vector>

#include "gfx/Image.h"
#include "gfx/Mask.h"
#include "gfx/Rect.h"

namespace quil {

class Path;

// Edge-flag scan converter: fills shapes, even-odd over everything it is
// fed, on a grid of 16 x 16 samples per pixel, and resolves the samples into
// 8-bit coverage. Coordinates are 16.16 fixed-point pixels, x right, y down.
// Crossings above, below or right of the clip are dropped; crossings left of
// it are moved to the clip's left edge so that shapes starting there fill.
// One Rasterizer serves one drawing on one thread.
class Rasterizer {
public:
    // `clip` in window pixels; `capacity` flag blocks of 32 bytes (the
    // program passes 0x10000); crossings in cells that find no free block are lost.
    Rasterizer(const Rect& clip, uint32_t capacity);
    virtual ~Rasterizer();
    Rasterizer(const Rasterizer&) = delete;
    Rasterizer& operator=(const Rasterizer&) = delete;

    virtual void MoveTo(int32_t x, int32_t y);
    virtual void LineTo(int32_t x, int32_t y);
    virtual void QuadTo(int32_t cx, int32_t cy, int32_t x, int32_t y);
    virtual void BeginContour();
    virtual void CloseContour();

    // Feeds a path in pixels (floats, scaled by 65536 and truncated).
    void FillPath(const Path& path);

    // Writes the coverage of `rect` (clip coordinates) into `mask`, clip pixel
    // (x, y) going to (x - rect.left + at.x, y - rect.top + at.y); bytes are
    // replaced. Pixels outside the clip or the mask are not written.
    void ResolveToMask(Mask& mask, const Rect& rect, Point at) const;
    // The same walk; each pixel becomes composeOver(dst, tintCoverage(coverage, colour)).
    void ResolveOverImage(Image& image, const Rect& rect, Point at, uint32_t colour) const;

    const Rect& clip() const { return clip_; }

private:
    // Implementation fields are the implementer's (see Rasterizer.cpp).
    Rect clip_;
};

}  // namespace quil
