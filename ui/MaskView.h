#pragma once

#include <cstdint>

#include "gfx/Mask.h"
#include "platform/Rect.h"
#include "ui/View.h"

namespace quil {

// Shows a coverage mask (not owned) tinted with a colour and blended with
// an opacity over what lies below: the waveform. Geometry as ImageView:
// source pixel (x, y) lands on window pixel (x, y) + destination anchor -
// source anchor; with the tile flag the source rectangle repeats over the
// frame. Changes need the window lock (see View).
class MaskView : public View {
  public:
    // `mask` may be null: the view then draws nothing. `colour` is
    // premultiplied 0xAARRGGBB, `opacity` 0..255.
    MaskView(ViewList& list, const Rect& frame, const Mask* mask, const Rect& sourceRect,
             Point sourceAnchor, Point destinationAnchor, uint32_t colour, uint32_t opacity,
             bool tile = false);

    void draw(Image& target, const Rect& clip) override;

    // Adds dw to the frame's right and dh to its bottom; invalidates the
    // pixels that entered or left the frame.
    void resizeBy(int32_t dw, int32_t dh);
    // Moves the frame and the destination anchor; invalidates the old and
    // the new frame.
    void moveBy(int32_t dx, int32_t dy);

    // Swaps the mask shown (null: nothing). The caller invalidates the view.
    void setMask(const Mask* mask) { mask_ = mask; }
    const Mask* mask() const { return mask_; }
    uint32_t colour() const { return colour_; }
    uint32_t opacity() const { return opacity_; }
    Point destinationAnchor() const { return destinationAnchor_; }

  private:
    const Mask* mask_;
    Rect sourceRect_;
    Point sourceAnchor_;
    Point destinationAnchor_;
    uint32_t colour_;
    uint32_t opacity_;
    bool tile_;
};

}  // namespace quil
