#include "gfx/TextLayout.h"

#include <cmath>

#include "gfx/ComposedReader.h"
#include "gfx/Utf8.h"

namespace quil {

namespace {

// Truncates toward zero into `out`, saturating at the int32 range; false for
// NaN, which lies nowhere.
bool Truncate(float v, int32_t& out) {
    if (std::isnan(v))
        return false;
    if (v >= 2147483648.0f) {
        out = INT32_MAX;
    } else if (v < -2147483648.0f) {
        out = INT32_MIN;
    } else {
        out = static_cast<int32_t>(v);
    }
    return true;
}

// Whether origin + M (a, 0), truncated toward zero, is a pixel of `view`.
bool BaselinePointInside(const TextStyle& style, float a, const Rect& view) {
    int32_t x = 0;
    int32_t y = 0;
    return Truncate(style.originX + style.m0 * a, x) && Truncate(style.originY + style.m2 * a, y) &&
           view.Contains(x, y);
}

bool IsAsciiSpace(uint32_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

Utf8Decoder DecoderFor(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    return Utf8Decoder(bytes, bytes + text.size());
}

// Largest coordinate the rasteriser's 16.16 fixed point holds.
constexpr float kFixedLimit = 32767.0f;

}  // namespace

TextLayout::TextLayout(std::string_view text, const TextStyle& style, const Rect& view)
    : style_(style) {
    if (!style.font)
        return;
    const Font& font = *style.font;
    ComposedReader reader(DecoderFor(text));
    std::vector<float> running;  // running[k]: advances of the first k + 1 characters
    while (!reader.done()) {
        const uint32_t c = reader.Next();
        const uint32_t glyph = font.GlyphForUnicode(c);
        advance_ += font.Advance(glyph);
        codePoints_.push_back(c);
        glyphs_.push_back(glyph);
        running.push_back(advance_);
    }

    // An empty line has nothing to shorten.
    if ((style.flags & kTextEllipsis) && !running.empty())
        cut_ = FindCut(running, view);

    float offset = 0;
    switch (style.flags & kTextAlignMask) {
        case kTextAlignEnd:
            offset = style.width - advance_;
            break;
        case kTextAlignCentre:
            offset = (style.width - advance_) / 2;
            break;
        default:
            break;
    }
    startX_ = style.originX + style.m0 * offset;
    startY_ = style.originY + style.m2 * offset;
}

int32_t TextLayout::FindCut(const std::vector<float>& running, const Rect& view) {
    if (BaselinePointInside(style_, running.back(), view))
        return -1;
    ellipsisGlyph_ = style_.font->GlyphForUnicode(kEllipsis);
    const float e = style_.font->Advance(ellipsisGlyph_);
    // The last character is never kept together with the ellipsis: the
    // ellipsis takes at least its place.
    for (int32_t k = static_cast<int32_t>(running.size()) - 2; k >= 0; --k) {
        if (BaselinePointInside(style_, running[static_cast<size_t>(k)] + e, view))
            return k;
    }
    return -1;  // not even one character fits: drawn in full and clipped
}

bool TextLayout::PlaceCharacter(size_t index, Path& work, float& penX, float& penY,
                                PlacedGlyph& placed) const {
    const bool ellipsis = cut_ >= 0 && index == static_cast<size_t>(cut_) + 1;
    placed.codePoint = ellipsis ? kEllipsis : codePoints_[index];
    placed.glyph = ellipsis ? ellipsisGlyph_ : glyphs_[index];
    placed.penX = penX;
    placed.penY = penY;
    placed.outline = !IsAsciiSpace(placed.codePoint);
    work.Clear();
    if (placed.outline) {
        float s = 0;
        if (style_.font->LoadOutline(placed.glyph, work, s) != 0) {
            work.Clear();
            return false;
        }
        work.Affine(style_.m0 * s, -style_.m1 * s, style_.m2 * s, -style_.m3 * s, penX, penY);
    }
    const float a = style_.font->Advance(placed.glyph);
    penX += style_.m0 * a;
    penY += style_.m2 * a;
    return true;
}

float MeasureText(std::string_view text, const TextStyle& style) {
    if (!style.font)
        return 0;
    float a = 0;
    ComposedReader reader(DecoderFor(text));
    while (!reader.done())
        a += style.font->Advance(style.font->GlyphForUnicode(reader.Next()));
    return std::hypot(style.m0 * a, style.m2 * a);
}

bool OutlineMeetsClip(const Path& placed, const Rect& clip) {
    const RealRect b = placed.Bounds();
    if (!(b.left >= -kFixedLimit && b.top >= -kFixedLimit && b.right <= kFixedLimit + 1 &&
          b.bottom <= kFixedLimit + 1)) {
        return false;  // also NaN
    }
    const Rect pixels{static_cast<int32_t>(b.left), static_cast<int32_t>(b.top),
                      static_cast<int32_t>(b.right), static_cast<int32_t>(b.bottom)};
    return !pixels.Intersect(clip).IsEmpty();
}

}  // namespace quil
