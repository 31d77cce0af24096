#include "gfx/Mask.h"

#include "gfx/Compositing.h"

namespace quil {

bool Mask::ResizeKeepingContent(const Rect& bounds) {
    // The new rows are built beside the old ones so that a refusal leaves
    // this mask untouched.
    Mask resized;
    if (!resized.SetBounds(bounds))
        return false;
    resized.Fill(0);
    copyMask(resized, resized.bounds(), Point{}, *this, this->bounds(), Point{});
    *this = std::move(resized);
    return true;
}

}  // namespace quil
