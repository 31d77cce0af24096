#include "ui/WorkAreaClamp.h"

#include <cstdint>

namespace quil {

namespace {

// One axis: [low, high) of the rectangle against [areaLow, areaHigh).
void ClampAxis(int32_t& low, int32_t& high, int32_t areaLow, int32_t areaHigh) {
    const int64_t size = int64_t{high} - low;
    if (size > int64_t{areaHigh} - areaLow) {
        low = areaLow;
        high = areaHigh;
    } else if (low < areaLow) {
        // The size fits inside the area, so the shifted end stays in range.
        high = static_cast<int32_t>(areaLow + size);
        low = areaLow;
    } else if (high > areaHigh) {
        low = static_cast<int32_t>(areaHigh - size);
        high = areaHigh;
    }
}

}  // namespace

Rect ClampToWorkArea(const Rect& rect, const Rect& workArea) {
    Rect out = rect;
    ClampAxis(out.left, out.right, workArea.left, workArea.right);
    ClampAxis(out.top, out.bottom, workArea.top, workArea.bottom);
    return out;
}

}  // namespace quil
