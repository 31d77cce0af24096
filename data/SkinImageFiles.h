#pragma once

#include <span>

#include "platform/EmbeddedFile.h"

namespace quil {

// The skin's images (data/skin/*.img), in name order. Each array is 16-byte
// aligned, so image rows after the 16-byte header can be read in place.
std::span<const EmbeddedFile> SkinImageFiles();

}  // namespace quil
