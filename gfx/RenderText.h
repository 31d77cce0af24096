#pragma once

#include <cstdint>
#include <string_view>

#include "gfx/Image.h"
#include "gfx/Mask.h"
#include "platform/Rect.h"
#include "gfx/TextLayout.h"

namespace quil {

class Rasterizer;

// Flag blocks given to the rasteriser of one text drawing (2 MiB).
constexpr uint32_t kTextFlagBlocks = 0x10000;

// Fills the outlines of a laid-out line into `raster`, skipping those whose
// bounds miss its clip. `work` is the one path reused for every glyph.
void FillText(Rasterizer& raster, const TextLayout& layout, Path& work);

// Draws one line of text (UTF-8 `text`, set by `style` in the view
// rectangle `view`) over the pixels of clip ∩ view, all in window pixels.
// Mask form: the coverage replaces the mask's bytes there (the mask holds
// window coordinates). Image form: the coverage tinted with `colour`
// (premultiplied 0xAARRGGBB) is composed over the image's pixels.
// Pixels outside the target's bounds are left alone.
void RenderText(Mask& mask, const Rect& clip, std::string_view text, const TextStyle& style,
                const Rect& view);
void RenderText(Image& image, const Rect& clip, uint32_t colour, std::string_view text,
                const TextStyle& style, const Rect& view);

}  // namespace quil
