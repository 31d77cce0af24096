#pragma once

#include <cstdint>

#include "ui/ImageView.h"

namespace quil {

// An ImageView whose pixels replace what lies below instead of being
// composed over it (the opaque parts of the skin). Same geometry, same
// constructors, same changes.
class ImageCopyView : public ImageView {
  public:
    using ImageView::ImageView;

    void draw(Image& target, const Rect& clip) override;
};

}  // namespace quil
