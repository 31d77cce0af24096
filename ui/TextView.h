#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gfx/Font.h"
#include "gfx/Mask.h"
#include "gfx/TextLayout.h"
#include "ui/View.h"

namespace quil {

// One line of text in a font, drawn inside the frame. The text is a UTF-8
// byte string; the font is not owned and must outlive the view. The matrix
// (m0, m1, m2, m3) maps em units to window pixels (m0 = m3 = size in pixels
// for upright text), the origin is the start of the baseline in window
// pixels, `width` the box width in em units for end and centre alignment,
// `colour` premultiplied 0xAARRGGBB, `flags` TextFlags (kTextEllipsis
// shortens a line that does not fit; kTextCache keeps the rendered coverage
// in a mask over the frame, rebuilt on every change of text or frame, so
// that a repaint is one tinted composition). Every operation, draw
// included, runs with the window lock held; draw also under the window's
// drawing mutex.
class TextView : public View {
  public:
    TextView(ViewList& list, const Rect& frame, std::string text, const Font* font, float m0,
             float m1, float m2, float m3, float originX, float originY, float width,
             uint32_t colour, uint32_t flags);

    void draw(Image& target, const Rect& clip) override;

    // Replaces the text and invalidates the frame; the same text changes
    // nothing at all.
    void setText(std::string_view text);
    // Adds dw to the frame's right and dh to its bottom. With kTextEllipsis
    // the line may be cut differently, so the old and the new frame are
    // invalidated; otherwise only the pixels that entered or left it.
    void resizeBy(int32_t dw, int32_t dh);
    // Length of the whole line (no ellipsis) in window pixels.
    float MeasureText() const;

    const std::string& text() const { return text_; }
    const TextStyle& style() const { return style_; }
    uint32_t colour() const { return colour_; }
    // The coverage cache (window coordinates); no storage without kTextCache.
    const Mask& cache() const { return cache_; }

  private:
    bool cached() const { return (style_.flags & kTextCache) != 0; }
    // Renders the current text over the whole frame into the cache, giving
    // the cache the frame's bounds first when they differ.
    void RebuildCache();

    std::string text_;
    TextStyle style_;
    uint32_t colour_;
    Mask cache_;
};

}  // namespace quil
