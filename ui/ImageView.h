#pragma once

#include <cstdint>

#include "gfx/Image.h"
#include "platform/Rect.h"
#include "ui/View.h"

namespace quil {

// Shows part of an image (not owned) composed over what lies below it.
// Source pixel (x, y) lands on window pixel (x, y) + destination anchor -
// source anchor; with the tile flag the source rectangle repeats over the
// whole frame. All rectangles and anchors are pixels; the frame and the
// destination anchor are window coordinates, the source rectangle and
// anchor the image's own. Changes need the window lock (see View).
class ImageView : public View {
  public:
    // `image` may be null: the view then draws nothing.
    ImageView(ViewList& list, const Rect& frame, const Image* image, const Rect& sourceRect,
              Point sourceAnchor, Point destinationAnchor, bool tile = false);
    // Places `sourceRect` at (x, y): the frame is the source rectangle moved
    // by (x, y), the source anchor (0, 0), the destination anchor (x, y).
    ImageView(ViewList& list, const Image* image, const Rect& sourceRect, int32_t x, int32_t y);

    void draw(Image& target, const Rect& clip) override;

    // Adds dw to the frame's right and dh to its bottom; invalidates the
    // pixels that entered or left the frame.
    void resizeBy(int32_t dw, int32_t dh);
    // Moves the frame and the destination anchor; invalidates the old and
    // the new frame.
    void moveBy(int32_t dx, int32_t dy);

    // Swaps the image shown (null: nothing). The caller invalidates the view.
    void setImage(const Image* image) { image_ = image; }
    const Image* image() const { return image_; }
    const Rect& sourceRect() const { return sourceRect_; }
    Point sourceAnchor() const { return sourceAnchor_; }
    Point destinationAnchor() const { return destinationAnchor_; }
    bool tiled() const { return tile_; }

  protected:
    // The part of the frame inside `clip` that this view may draw, empty
    // when the view is hidden or has no image.
    Rect DrawArea(const Rect& clip) const;

  private:
    const Image* image_;
    Rect sourceRect_;
    Point sourceAnchor_;
    Point destinationAnchor_;
    bool tile_;
};

}  // namespace quil
