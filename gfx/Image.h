#pragma once

#include <cstdint>

#include "gfx/PixelGrid.h"

namespace quil {

// 32-bit pixels 0xAARRGGBB (in memory: blue, green, red, alpha) with
// premultiplied alpha: no colour channel exceeds alpha; 0 is transparent.
class Image : public PixelGrid<uint32_t> {};

}  // namespace quil
