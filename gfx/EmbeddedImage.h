#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/Image.h"
#include "gfx/Mask.h"

// The raster format the program carries its artwork in: a 16-byte header of
// four big-endian 32-bit words (width, height, stride in bytes, reserved 0),
// then `height` rows of `stride` bytes, top row first. A mask row holds one
// coverage byte per pixel; an image row holds one little-endian premultiplied
// 0xAARRGGBB word per pixel (bytes blue, green, red, alpha). The stride is the
// row's bytes, optionally raised to the next multiple of 8.
//
// Embedded arrays are declared `alignas(16) static const uint8_t name[]` so
// that image rows (at offset 16, stride a multiple of 4) are 4-byte aligned
// and can be read as 32-bit words in place.

namespace quil {

namespace embedded {
inline constexpr size_t kHeaderSize = 16;
// Larger sides are taken for damage: the skin's pieces are tens of pixels.
inline constexpr uint32_t kMaxSide = 1u << 16;
}  // namespace embedded

// Wraps an embedded image in place: `out` gets bounds (0, 0, width, height)
// and reads its rows from `data`, which must outlive it and is never written
// or freed. A damaged blob (short, zero or oversized sides, a stride that does
// not match 4 bytes per pixel, rows beyond `size`, a non-zero reserved word)
// or rows that are not 4-byte aligned are refused: false, `out` left without
// storage.
bool WrapEmbeddedImage(const uint8_t* data, size_t size, Image& out);

// The same for a mask (1 byte per pixel); no alignment is needed.
bool WrapEmbeddedMask(const uint8_t* data, size_t size, Mask& out);

// Encodes the grid's pixels (its bounds written as if they started at 0, 0)
// in the embedded format, stride = row bytes raised to a multiple of 8 and
// padding bytes 0. A grid without storage gives an empty vector.
std::vector<uint8_t> EncodeEmbeddedImage(const Image& image);
std::vector<uint8_t> EncodeEmbeddedMask(const Mask& mask);

}  // namespace quil
