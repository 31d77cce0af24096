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

// True when the region holds exactly the pixels of `rects`.
inline bool Covers(const Region& region, std::initializer_list<Rect> rects) {
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
