#pragma once

#include <cstdint>

#include "gfx/Image.h"
#include "gfx/Mask.h"
#include "platform/Rect.h"

// Compositing between images and masks. Every two-grid operation shares one
// copy geometry: source pixel (x, y) lands on destination pixel
// (x + dstAnchor.x - srcAnchor.x, y + dstAnchor.y - srcAnchor.y); srcRect is
// clipped to the source bounds, dstRect (as a rule the repaint clip) to the
// destination bounds and to srcRect moved onto the destination; what is left
// is visited row by row, top to bottom, left to right. An empty overlap
// writes nothing. Colours are premultiplied 0xAARRGGBB words; opacities run
// 0..255, larger values acting as 255. A destination that does not own its
// pixels (wrapped embedded data, or no storage) is never written. Coordinates
// and anchors may lie anywhere in the int32 range.

namespace quil {

// Destination byte := source byte.
void copyMask(Mask& dst, const Rect& dstRect, Point dstAnchor, const Mask& src, const Rect& srcRect,
              Point srcAnchor);
// Destination pixel := source pixel.
void copyImage(Image& dst, const Rect& dstRect, Point dstAnchor, const Image& src,
               const Rect& srcRect, Point srcAnchor);
// Destination pixel := composeOver(dst, src).
void overImage(Image& dst, const Rect& dstRect, Point dstAnchor, const Image& src,
               const Rect& srcRect, Point srcAnchor);
// The write entry: replaces destination pixels by the tinted mask. Opacity 0
// writes nothing at all, 1..254 writes composeScaled(0, tint, opacity),
// 255 and above writes the tint itself.
void writeMaskColour(Image& dst, const Rect& dstRect, Point dstAnchor, const Mask& src,
                     const Rect& srcRect, Point srcAnchor, uint32_t colour, uint32_t opacity);
// Destination pixel := composeOver(dst, tintCoverage(src, colour)).
void overMaskColour(Image& dst, const Rect& dstRect, Point dstAnchor, const Mask& src,
                    const Rect& srcRect, Point srcAnchor, uint32_t colour);
// Destination pixel := composeScaled(dst, tintCoverage(src, colour), opacity);
// opacity 0 keeps the destination.
void blendMaskColour(Image& dst, const Rect& dstRect, Point dstAnchor, const Mask& src,
                     const Rect& srcRect, Point srcAnchor, uint32_t colour, uint32_t opacity);

// Sets every pixel of rect (clipped to the image) to value.
void fillRect(Image& image, const Rect& rect, uint32_t value);

// Tiled forms: srcRect (clipped to the source) is a tile repeated in both
// directions over dstRect; the anchors fix the tiling phase, so a partial
// redraw gives the same pixels as a full one.
void tiledCopyImage(Image& dst, const Rect& dstRect, Point dstAnchor, const Image& src,
                    const Rect& srcRect, Point srcAnchor);
void tiledOverImage(Image& dst, const Rect& dstRect, Point dstAnchor, const Image& src,
                    const Rect& srcRect, Point srcAnchor);
void tiledBlendMaskColour(Image& dst, const Rect& dstRect, Point dstAnchor, const Mask& src,
                          const Rect& srcRect, Point srcAnchor, uint32_t colour, uint32_t opacity);

}  // namespace quil
