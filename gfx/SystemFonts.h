#pragma once

#include <initializer_list>
#include <memory>
#include <string>

#include "gfx/Font.h"

namespace quil {

// The TrueType font for a family name without extension, found by
// FindFontFile; null when no file is found or it does not load. The caller
// owns the font.
std::unique_ptr<Font> OpenSystemFont(const std::string& name);

// The first of `names` that OpenSystemFont opens, trying them in order and
// stopping at a null entry; null when none opens. The caller owns the font.
std::unique_ptr<Font> OpenFirstFont(std::initializer_list<const char*> names);

}  // namespace quil
