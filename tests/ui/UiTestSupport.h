#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "gfx/Image.h"
#include "ui/Region.h"

namespace quil::testing {

inline Image SolidImage(const Rect& bounds, uint32_t colour) {
    Image image;
    EXPECT_TRUE(image.SetBounds(bounds));
    image.Fill(colour);
    return image;
}

inline std::vector<Rect> RectanglesOf(const Region& region) {
    std::vector<Rect> rects;
    region.Rectangles(rects);
    return rects;
}

// The image's pixels row by row.
inline std::vector<uint32_t> Pixels(const Image& image) {
    const Rect& b = image.bounds();
    std::vector<uint32_t> out;
    for (int32_t y = b.top; y < b.bottom; ++y)
        out.insert(out.end(), image.At(b.left, y), image.At(b.left, y) + b.Width());
    return out;
}

// True when the region holds exactly the pixels of `rects`.
inline bool Covers(const Region& region, const std::vector<Rect>& rects) {
    Region expected;
    for (const Rect& rect : rects)
        expected.Unite(Region(rect));
    return Region::SymmetricDifference(region, expected).IsEmpty();
}

}  // namespace quil::testing

namespace quil {
inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
}  // namespace quil
