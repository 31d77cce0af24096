#pragma once

#include <algorithm>
#include <cstdint>

namespace quil {

// A pixel position; x grows to the right, y grows downwards.
struct Point {
    int32_t x = 0;
    int32_t y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

// A rectangle of pixels; right and bottom are exclusive. It is empty when its
// width or height is 0 or less. Coordinates grow right and down.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    // `width` × `height` pixels at (left, top); sizes are held to 0 ..
    // INT32_MAX and the corner is moved back as far as the far edges need to
    // stay representable, so any stored or computed corner gives a sound
    // rectangle of the asked size.
    static Rect Sized(int64_t left, int64_t top, int64_t width, int64_t height) {
        const int64_t w = std::clamp<int64_t>(width, 0, INT32_MAX);
        const int64_t h = std::clamp<int64_t>(height, 0, INT32_MAX);
        const int64_t l = std::clamp<int64_t>(left, INT32_MIN, INT32_MAX - w);
        const int64_t t = std::clamp<int64_t>(top, INT32_MIN, INT32_MAX - h);
        return Rect{static_cast<int32_t>(l), static_cast<int32_t>(t), static_cast<int32_t>(l + w),
                    static_cast<int32_t>(t + h)};
    }

    int64_t Width() const { return int64_t{right} - left; }
    int64_t Height() const { return int64_t{bottom} - top; }
    bool IsEmpty() const { return Width() <= 0 || Height() <= 0; }
    bool Contains(int32_t x, int32_t y) const {
        return left <= x && x < right && top <= y && y < bottom;
    }

    // The common part; may come out empty (then with right <= left or
    // bottom <= top, never normalised).
    Rect Intersect(const Rect& other) const {
        return Rect{std::max(left, other.left), std::max(top, other.top),
                    std::min(right, other.right), std::min(bottom, other.bottom)};
    }
    Rect Offset(int32_t dx, int32_t dy) const {
        return Rect{left + dx, top + dy, right + dx, bottom + dy};
    }

    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace quil
