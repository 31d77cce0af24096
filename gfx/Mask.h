#pragma once

#include <cstdint>

#include "gfx/PixelGrid.h"

namespace quil {

// 8-bit coverage or opacity per pixel: 0 nothing, 255 full.
class Mask : public PixelGrid<uint8_t> {
public:
    // Moves the mask to `bounds`, keeping the pixels that lie inside both the
    // old and the new bounds; new pixels are 0. On a refused rectangle or
    // short memory it answers false and the mask stays as it was.
    bool ResizeKeepingContent(const Rect& bounds);
};

}  // namespace quil
