#include "ui/MaskView.h"

#include "gfx/Compositing.h"

namespace quil {

MaskView::MaskView(ViewList& list, const Rect& frame, const Mask* mask, const Rect& sourceRect,
                   Point sourceAnchor, Point destinationAnchor, uint32_t colour, uint32_t opacity,
                   bool tile)
    : View(list, frame),
      mask_(mask),
      sourceRect_(sourceRect),
      sourceAnchor_(sourceAnchor),
      destinationAnchor_(destinationAnchor),
      colour_(colour),
      opacity_(opacity),
      tile_(tile) {}

void MaskView::draw(Image& target, const Rect& clip) {
    if (!visible() || !mask_)
        return;
    const Rect area = frame().Intersect(clip);
    if (area.IsEmpty())
        return;
    if (tile_) {
        tiledBlendMaskColour(target, area, destinationAnchor_, *mask_, sourceRect_, sourceAnchor_,
                             colour_, opacity_);
    } else {
        blendMaskColour(target, area, destinationAnchor_, *mask_, sourceRect_, sourceAnchor_,
                        colour_, opacity_);
    }
}

void MaskView::resizeBy(int32_t dw, int32_t dh) {
    setFrame(ResizedBy(frame(), dw, dh), Damage::kDifference);
}

void MaskView::moveBy(int32_t dx, int32_t dy) {
    destinationAnchor_ = MovedBy(destinationAnchor_, dx, dy);
    setFrame(MovedBy(frame(), dx, dy), Damage::kBoth);
}

}  // namespace quil
