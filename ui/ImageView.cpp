#include "ui/ImageView.h"

#include "gfx/Compositing.h"

namespace quil {

ImageView::ImageView(ViewList& list, const Rect& frame, const Image* image, const Rect& sourceRect,
                     Point sourceAnchor, Point destinationAnchor, bool tile)
    : View(list, frame),
      image_(image),
      sourceRect_(sourceRect),
      sourceAnchor_(sourceAnchor),
      destinationAnchor_(destinationAnchor),
      tile_(tile) {}

ImageView::ImageView(ViewList& list, const Image* image, const Rect& sourceRect, int32_t x,
                     int32_t y)
    : ImageView(list, MovedBy(sourceRect, x, y), image, sourceRect, Point{0, 0}, Point{x, y}) {}

Rect ImageView::DrawArea(const Rect& clip) const {
    if (!visible() || !image_)
        return Rect{};
    return frame().Intersect(clip);
}

void ImageView::draw(Image& target, const Rect& clip) {
    const Rect area = DrawArea(clip);
    if (area.IsEmpty())
        return;
    if (tile_)
        tiledOverImage(target, area, destinationAnchor_, *image_, sourceRect_, sourceAnchor_);
    else
        overImage(target, area, destinationAnchor_, *image_, sourceRect_, sourceAnchor_);
}

void ImageView::resizeBy(int32_t dw, int32_t dh) {
    setFrame(ResizedBy(frame(), dw, dh), Damage::kDifference);
}

void ImageView::moveBy(int32_t dx, int32_t dy) {
    destinationAnchor_ = MovedBy(destinationAnchor_, dx, dy);
    setFrame(MovedBy(frame(), dx, dy), Damage::kBoth);
}

}  // namespace quil
