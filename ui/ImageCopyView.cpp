#include "ui/ImageCopyView.h"

#include "gfx/Compositing.h"

namespace quil {

void ImageCopyView::draw(Image& target, const Rect& clip) {
    const Rect area = DrawArea(clip);
    if (area.IsEmpty())
        return;
    if (tiled())
        tiledCopyImage(target, area, destinationAnchor(), *image(), sourceRect(), sourceAnchor());
    else
        copyImage(target, area, destinationAnchor(), *image(), sourceRect(), sourceAnchor());
}

}  // namespace quil
