#pragma once

#include <string>

#include "gfx/Image.h"
#include "gfx/Mask.h"

namespace quil::tool {

// Writes the mask as an 8-bit greyscale PNG, one byte per pixel (coverage
// 255 = white), its bounds' top left as the picture's (0, 0). False when the
// mask has no pixels or the file cannot be written.
bool WriteGreyPng(const std::string& path, const Mask& mask);

// Writes the premultiplied image as an 8-bit RGBA PNG with straight
// (un-premultiplied) colour, as PNG wants it.
bool WriteRgbaPng(const std::string& path, const Image& image);

}  // namespace quil::tool
