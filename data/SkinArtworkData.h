#pragma once

#include <span>

#include "data/SkinImageFiles.h"
#include "gfx/SkinArtwork.h"

namespace quil {

// Wraps every skin image carried in the program's data, in place, into
// `art` (no copy: the grids point into read-only data for the whole run).
// False when an image is missing, damaged or not of its listed size and kind;
// the pieces wrapped before stay, the others are left without storage.
bool LoadSkinArtwork(SkinArtwork& art);

// The same over a given set of files (the program passes SkinImageFiles()).
bool LoadSkinArtwork(SkinArtwork& art, std::span<const EmbeddedFile> files);

}  // namespace quil
