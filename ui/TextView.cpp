#include "ui/TextView.h"

#include <utility>

#include "gfx/Compositing.h"
#include "gfx/RenderText.h"

namespace quil {

TextView::TextView(ViewList& list, const Rect& frame, std::string text, const Font* font, float m0,
                   float m1, float m2, float m3, float originX, float originY, float width,
                   uint32_t colour, uint32_t flags)
    : View(list, frame), text_(std::move(text)), colour_(colour) {
    style_.font = font;
    style_.m0 = m0;
    style_.m1 = m1;
    style_.m2 = m2;
    style_.m3 = m3;
    style_.originX = originX;
    style_.originY = originY;
    style_.width = width;
    style_.flags = flags;
    if (cached())
        RebuildCache();
}

void TextView::RebuildCache() {
    const Rect& frame = this->frame();
    if (frame.IsEmpty()) {
        // An empty mask refuses new bounds; dropping it keeps the text of
        // an old frame from being drawn.
        cache_.Release();
        return;
    }
    if (cache_.bounds() != frame && !cache_.SetBounds(frame))
        return;  // no memory: draw falls back to rendering directly
    RenderText(cache_, frame, text_, style_, frame);
}

void TextView::draw(Image& target, const Rect& clip) {
    if (!visible())
        return;
    const Rect area = clip.Intersect(frame());
    if (area.IsEmpty())
        return;
    if (cached() && cache_.HasStorage())
        overMaskColour(target, area, Point{0, 0}, cache_, cache_.bounds(), Point{0, 0}, colour_);
    else
        RenderText(target, area, colour_, text_, style_, frame());
}

void TextView::setText(std::string_view text) {
    if (text == text_)
        return;
    text_.assign(text);
    if (cached())
        RebuildCache();
    invalidate();
}

void TextView::resizeBy(int32_t dw, int32_t dh) {
    const Rect resized = ResizedBy(frame(), dw, dh);
    // A frame that shrinks can leave an old ellipsis outside the new one,
    // so the ellipsis case repaints the old frame too.
    setFrame(resized, (style_.flags & kTextEllipsis) ? Damage::kBoth : Damage::kDifference);
    if (cached())
        RebuildCache();
}

float TextView::MeasureText() const {
    return quil::MeasureText(text_, style_);
}

}  // namespace quil
