#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gfx/Image.h"
#include "platform/headless/HeadlessWindow.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "ui/Region.h"
#include "ui/Window.h"

namespace quil::testing {

constexpr uint32_t FourCC(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
}

// A window that records the commands it receives and, like the main window,
// refreshes its stored window rectangle on every move.
class TestWindow : public Window {
  public:
    bool command(uint32_t code, uint32_t argument) override {
        commands.push_back(code);
        arguments.push_back(argument);
        return true;
    }
    bool moved(int32_t, int32_t) override {
        RefreshWindowRect();
        ++moves;
        return true;
    }
    HeadlessWindow& headless() { return *static_cast<HeadlessWindow*>(nativeWindow()); }

    std::vector<uint32_t> commands;
    std::vector<uint32_t> arguments;
    int moves = 0;
};

inline Image SolidImage(const Rect& bounds, uint32_t colour) {
    Image image;
    EXPECT_TRUE(image.SetBounds(bounds));
    image.Fill(colour);
    return image;
}

// A disc of `colour` filling a size × size square at (0, 0); the corners
// outside the disc are transparent.
inline Image DiscImage(int32_t size, uint32_t colour) {
    Image image = SolidImage(Rect{0, 0, size, size}, 0);
    const double r = size / 2.0;
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            const double dx = x + 0.5 - r;
            const double dy = y + 0.5 - r;
            if (dx * dx + dy * dy <= r * r)
                *image.At(x, y) = colour;
        }
    }
    return image;
}

// True when the two regions hold the same pixels.
inline bool SamePixels(const Region& a, const Region& b) {
    return Region::SymmetricDifference(a, b).IsEmpty();
}

inline Region RegionOf(std::initializer_list<Rect> rects) {
    Region region;
    for (const Rect& rect : rects)
        region.Unite(Region(rect));
    return region;
}

inline std::vector<Rect> RectanglesOf(const Region& region) {
    std::vector<Rect> rects;
    region.Rectangles(rects);
    return rects;
}

}  // namespace quil::testing

namespace quil {
inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
}  // namespace quil
