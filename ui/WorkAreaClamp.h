#pragma once

#include "platform/Rect.h"

namespace quil {

// Moves `rect` (screen pixels) into `workArea`, keeping its size where it
// fits. Per axis: a rectangle larger than the work area takes the work
// area's extent exactly; otherwise one that starts before the work area is
// shifted to its start, and one that ends beyond it is shifted back to end
// there. A rectangle already inside comes back unchanged.
Rect ClampToWorkArea(const Rect& rect, const Rect& workArea);

}  // namespace quil
