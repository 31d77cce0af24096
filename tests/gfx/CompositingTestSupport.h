#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "gfx/Image.h"
#include "gfx/Mask.h"

// Grids filled with known or random pixels, and snapshots of their content,
// for the compositing, tiling and skin tests.

namespace quil::gfxtest {

inline uint32_t RandomPremultiplied(std::mt19937& rng) {
    static const uint32_t kEdgeAlphas[] = {0, 1, 254, 255};
    uint32_t a = rng() % 256;
    if (rng() % 3 == 0)
        a = kEdgeAlphas[rng() % 4];
    auto channel = [&] { return a == 0 ? 0 : static_cast<uint32_t>(rng() % (a + 1)); };
    const uint32_t r = channel(), g = channel(), b = channel();
    return a << 24 | r << 16 | g << 8 | b;
}

// A non-empty rectangle whose top-left corner lies within +-originRange of
// (0, 0), at most maxWidth x maxHeight pixels.
inline Rect RandomBounds(std::mt19937& rng, int32_t originRange, uint32_t maxWidth,
                         uint32_t maxHeight) {
    auto coord = [&] { return static_cast<int32_t>(rng() % (2 * originRange + 1)) - originRange; };
    Rect r{coord(), coord(), 0, 0};
    r.right = r.left + 1 + static_cast<int32_t>(rng() % maxWidth);
    r.bottom = r.top + 1 + static_cast<int32_t>(rng() % maxHeight);
    return r;
}

inline uint8_t RandomCoverage(std::mt19937& rng) {
    static const uint8_t kEdges[] = {0, 1, 254, 255};
    return rng() % 3 == 0 ? kEdges[rng() % 4] : static_cast<uint8_t>(rng());
}

template <typename Grid, typename Make>
void FillWith(Grid& grid, Make make) {
    const Rect& b = grid.bounds();
    for (int32_t y = b.top; y < b.bottom; ++y) {
        for (int32_t x = b.left; x < b.right; ++x)
            *grid.At(x, y) = make(x, y);
    }
}

inline Image RandomImage(const Rect& bounds, std::mt19937& rng) {
    Image image;
    image.SetBounds(bounds);
    FillWith(image, [&](int32_t, int32_t) { return RandomPremultiplied(rng); });
    return image;
}

inline Mask RandomMask(const Rect& bounds, std::mt19937& rng) {
    Mask mask;
    mask.SetBounds(bounds);
    FillWith(mask, [&](int32_t, int32_t) { return RandomCoverage(rng); });
    return mask;
}

// Every pixel inside the bounds, row by row.
template <typename Pixel>
std::vector<Pixel> Pixels(const PixelGrid<Pixel>& grid) {
    std::vector<Pixel> out;
    const Rect& b = grid.bounds();
    for (int32_t y = b.top; y < b.bottom; ++y) {
        for (int32_t x = b.left; x < b.right; ++x)
            out.push_back(*grid.At(x, y));
    }
    return out;
}

// A random rectangle around `area`, sometimes inverted or empty.
inline Rect RandomRect(std::mt19937& rng, const Rect& area) {
    auto coord = [&](int32_t lo, int32_t hi) {
        return lo + static_cast<int32_t>(rng() % static_cast<uint32_t>(hi - lo + 1));
    };
    const int32_t l = coord(area.left - 5, area.right + 5);
    const int32_t t = coord(area.top - 5, area.bottom + 5);
    if (rng() % 10 == 0)
        return Rect{l, t, coord(l - 5, l), coord(t - 5, t + 5)};
    return Rect{l, t, coord(l, area.right + 8), coord(t, area.bottom + 8)};
}

inline int32_t FloorMod(int64_t v, int64_t m) {
    return static_cast<int32_t>(((v % m) + m) % m);
}

}  // namespace quil::gfxtest
