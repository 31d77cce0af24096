#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "gfx/Font.h"
#include "gfx/Path.h"
#include "platform/Rect.h"

namespace quil {

// Bits of TextStyle::flags.
enum TextFlags : uint32_t {
    kTextAlignMask = 0x3,  // 0 start, 1 end, 2 centre, 3 start
    kTextAlignEnd = 0x1,
    kTextAlignCentre = 0x2,
    kTextEllipsis = 0x4,  // shorten with U+2026 when the line does not fit
    kTextCache = 0x100,   // the view keeps a coverage cache (the view's business)
};

// How one line of text is set. Advances and outlines are in em units with y
// up; a distance a along the baseline moves the pen by (m0 a, m2 a) window
// pixels and an outline point (x, y) lands at pen + (m0 x - m1 y, m2 x - m3 y),
// so m0 = m3 = s, m1 = m2 = 0 is upright text of s pixels per em.
struct TextStyle {
    const Font* font = nullptr;  // not owned; no font draws and measures nothing
    float m0 = 1, m1 = 0, m2 = 0, m3 = 1;
    float originX = 0, originY = 0;  // window pixels: start of the baseline
    float width = 0;                 // em units: box width for end and centre alignment
    uint32_t flags = 0;              // TextFlags
};

// One character as drawn: the pen is where its origin sits, in window pixels.
struct PlacedGlyph {
    uint32_t codePoint = 0;
    uint32_t glyph = 0;
    float penX = 0;
    float penY = 0;
    bool outline = false;  // false for ASCII white space, which has none
};

constexpr uint32_t kEllipsis = 0x2026;

// The layout of one line: its composed characters, where an ellipsis cuts
// it, and the start of the baseline after alignment. Outlines are loaded
// and placed on demand by Place, one at a time into a caller's working path.
class TextLayout {
  public:
    // `text`: UTF-8 bytes, read only here. `view`: the view rectangle in
    // window pixels, which the ellipsis rule tests the line's end against.
    TextLayout(std::string_view text, const TextStyle& style, const Rect& view);

    // The composed code points of the text, with their glyphs.
    const std::vector<uint32_t>& codePoints() const { return codePoints_; }
    const std::vector<uint32_t>& glyphs() const { return glyphs_; }
    // Index of the last character kept before the ellipsis; -1 when the
    // whole text is drawn.
    int32_t cutIndex() const { return cut_; }
    // Sum of the advances of all characters, in em units (no ellipsis).
    float advance() const { return advance_; }
    // The baseline start after alignment, in window pixels.
    float startX() const { return startX_; }
    float startY() const { return startY_; }
    // Characters to draw: the whole text, or the kept ones and the ellipsis.
    size_t drawnCount() const { return cut_ < 0 ? codePoints_.size() : size_t(cut_) + 2; }

    // Walks the characters to draw in order. For each one whose outline
    // loads (or which is ASCII white space) it calls
    // visit(const PlacedGlyph&, const Path& outline) with the outline placed
    // in window pixels (y down) in `work`, then advances the pen. A character
    // whose outline fails to load is skipped with its advance.
    template <typename Visit>
    void Place(Path& work, Visit&& visit) const {
        float penX = startX_;
        float penY = startY_;
        PlacedGlyph placed;
        for (size_t i = 0; i < drawnCount(); ++i) {
            if (PlaceCharacter(i, work, penX, penY, placed))
                visit(placed, work);
        }
    }

  private:
    bool PlaceCharacter(size_t index, Path& work, float& penX, float& penY,
                        PlacedGlyph& placed) const;
    int32_t FindCut(const std::vector<float>& running, const Rect& view);

    const TextStyle style_;
    std::vector<uint32_t> codePoints_;
    std::vector<uint32_t> glyphs_;
    uint32_t ellipsisGlyph_ = 0;
    int32_t cut_ = -1;
    float advance_ = 0;
    float startX_ = 0;
    float startY_ = 0;
};

// Length of the whole line (no ellipsis) in window pixels: with a the sum of
// the advances of its composed characters, the length of M (a, 0).
float MeasureText(std::string_view text, const TextStyle& style);

// Whether a placed outline (window pixels) has to be filled for `clip`: its
// bounds, truncated toward zero, meet the clip. Outlines reaching beyond the
// rasteriser's 16.16 fixed-point range (about 32767 pixels) are not filled.
bool OutlineMeetsClip(const Path& placed, const Rect& clip);

}  // namespace quil
