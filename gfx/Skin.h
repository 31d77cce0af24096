#pragma once

#include <cstdint>

#include "gfx/Image.h"
#include "gfx/SkinArtwork.h"

namespace quil {

// The window pieces coloured from the embedded artwork at start-up: the two
// ends of the window body and three strengths of each window-button glyph.
// The skin owns its images; views refer to them without owning them, so a
// skin stays in place (it is neither copied nor moved) while views use it.
class Skin {
  public:
    // Premultiplied 0xAARRGGBB colour of the window body, its opacity
    // (0.0 to 1.0) and the colour of the window-button glyphs.
    static constexpr uint32_t kBackgroundColour = 0xFF5D38C7;
    static constexpr float kBackgroundOpacity = 1.0f;
    static constexpr uint32_t kControlColour = 0xFFFFFFFF;

    // Glyph strengths, in the order they are built.
    enum Strength { kFaint = 0, kFull = 1, kHalf = 2 };
    static constexpr uint32_t kStrengthOpacity[3] = {63, 255, 127};

    Skin() = default;
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;

    // Colours the artwork: each end is its cap mask in `background` at
    // `backgroundOpacity` (0.0 to 1.0, truncated to 0..255) with its shading
    // composed over it; each glyph is its mask in `control` at the three
    // strengths. An image gets the bounds of its mask the first time and
    // starts transparent. False when an image cannot be given storage (the
    // images built before stay).
    bool Build(const SkinArtwork& art, uint32_t background, float backgroundOpacity,
               uint32_t control);

    const Image& leftEnd() const { return leftEnd_; }
    const Image& rightEnd() const { return rightEnd_; }
    const Image& close(Strength s) const { return close_[s]; }
    const Image& zoom(Strength s) const { return zoom_[s]; }
    const Image& minimize(Strength s) const { return minimize_[s]; }

  private:
    Image leftEnd_;
    Image rightEnd_;
    Image close_[3];
    Image zoom_[3];
    Image minimize_[3];
};

}  // namespace quil
