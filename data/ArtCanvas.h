#pragma once

#include <cstdint>
#include <functional>

#include "gfx/Image.h"
#include "gfx/Mask.h"
#include "gfx/Path.h"

// Drawing steps of the skin artwork, on grids whose bounds start at (0, 0).
// Shapes are filled by the program's own Rasterizer (16 x 16 samples per
// pixel, even-odd); colours are premultiplied 0xAARRGGBB words.

namespace quil::art {

// A fresh mask of width x height pixels, all 0; false without memory.
bool BlankMask(Mask& mask, int32_t width, int32_t height);
// A fresh image of width x height pixels, all transparent.
bool BlankImage(Image& image, int32_t width, int32_t height);

// The coverage of `path` over the whole of `into` (which keeps its bounds).
void Rasterise(const Path& path, Mask& into);

// dst := dst united with src (coverages composed like alphas, a + b - ab).
void Unite(Mask& dst, const Mask& src);

// Composes `colour` over the image through `coverage`, each coverage value
// first scaled by weight(x, y) in 0..1 (a gradient; rounded to the nearest
// step). Both grids have the same bounds.
void Paint(Image& image, const Mask& coverage, uint32_t colour,
           const std::function<float(int32_t x, int32_t y)>& weight = {});

// Fills `path` straight onto the image in `colour`.
void Paint(Image& image, const Path& path, uint32_t colour);

// Grey level and alpha as a premultiplied pixel (grey is the unpremultiplied level).
uint32_t Grey(uint32_t level, uint32_t alpha);

// Left-right mirror of a grid into a fresh grid of the same size.
void Mirror(const Mask& src, Mask& dst);
void Mirror(const Image& src, Image& dst);

}  // namespace quil::art
