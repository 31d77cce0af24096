#include <gtest/gtest.h>

#include <random>

#include "gfx/Compositing.h"
#include "gfx/PixelArithmetic.h"
#include "tests/gfx/CompositingTestSupport.h"

namespace quil {
namespace {

using gfxtest::FloorMod;
using gfxtest::Pixels;
using gfxtest::RandomBounds;
using gfxtest::RandomImage;
using gfxtest::RandomMask;
using gfxtest::RandomRect;

// Destination pixel (x, y) inside dstRect shows tile pixel
// (tile.left + (x + As.x - Ad.x - tile.left) mod W, likewise for y).
template <typename S, typename Op>
std::vector<uint32_t> ExpectedTiling(const Image& dst, const Rect& dstRect, Point dstAnchor,
                                     const PixelGrid<S>& src, const Rect& srcRect, Point srcAnchor,
                                     Op op) {
    const Rect tile = srcRect.Intersect(src.bounds());
    std::vector<uint32_t> out;
    const Rect& b = dst.bounds();
    for (int32_t y = b.top; y < b.bottom; ++y) {
        for (int32_t x = b.left; x < b.right; ++x) {
            uint32_t value = *dst.At(x, y);
            if (!tile.IsEmpty() && dstRect.Contains(x, y)) {
                const int32_t sx =
                    tile.left +
                    FloorMod(int64_t{x} + srcAnchor.x - dstAnchor.x - tile.left, tile.Width());
                const int32_t sy =
                    tile.top +
                    FloorMod(int64_t{y} + srcAnchor.y - dstAnchor.y - tile.top, tile.Height());
                value = op(value, *src.At(sx, sy));
            }
            out.push_back(value);
        }
    }
    return out;
}

struct TileCase {
    Rect dstBounds, srcBounds, tile;
    Point dstAnchor, srcAnchor;
};

TileCase RandomSetup(std::mt19937& rng) {
    auto coord = [&](int32_t range) {
        return static_cast<int32_t>(rng() % (2 * range + 1)) - range;
    };
    TileCase s;
    s.dstBounds = RandomBounds(rng, 30, 40, 20);
    s.srcBounds = RandomBounds(rng, 10, 8, 8);
    switch (rng() % 4) {
        case 0:  // one column, as the window's middle stretch
            s.tile =
                Rect{s.srcBounds.left, s.srcBounds.top, s.srcBounds.left + 1, s.srcBounds.bottom};
            break;
        case 1:  // one row
            s.tile =
                Rect{s.srcBounds.left, s.srcBounds.top, s.srcBounds.right, s.srcBounds.top + 1};
            break;
        default:  // any part, possibly reaching outside the source
            s.tile = RandomRect(rng, s.srcBounds);
    }
    s.dstAnchor = Point{coord(1000), coord(1000)};
    s.srcAnchor = Point{coord(1000), coord(1000)};
    return s;
}

TEST(TilingTest, EveryTiledOperationMatchesTheRepeatRule) {
    std::mt19937 rng(11);
    for (int i = 0; i < 2000; ++i) {
        SCOPED_TRACE(i);
        const TileCase s = RandomSetup(rng);
        const Rect clip = RandomRect(rng, s.dstBounds);
        const Image src = RandomImage(s.srcBounds, rng);
        const Mask mask = RandomMask(s.srcBounds, rng);
        const uint32_t k = std::vector<uint32_t>{0, 1, 63, 254, 255, 300}[rng() % 6];

        Image dst = RandomImage(s.dstBounds, rng);
        auto want = ExpectedTiling(dst, clip, s.dstAnchor, src, s.tile, s.srcAnchor,
                                   [](uint32_t, uint32_t p) { return p; });
        tiledCopyImage(dst, clip, s.dstAnchor, src, s.tile, s.srcAnchor);
        ASSERT_EQ(Pixels(dst), want);

        dst = RandomImage(s.dstBounds, rng);
        want = ExpectedTiling(dst, clip, s.dstAnchor, src, s.tile, s.srcAnchor,
                              [](uint32_t d, uint32_t p) { return composeOver(d, p); });
        tiledOverImage(dst, clip, s.dstAnchor, src, s.tile, s.srcAnchor);
        ASSERT_EQ(Pixels(dst), want);

        dst = RandomImage(s.dstBounds, rng);
        want = ExpectedTiling(
            dst, clip, s.dstAnchor, mask, s.tile, s.srcAnchor, [k](uint32_t d, uint8_t c) {
                return composeScaled(d, tintCoverage(c, 0xFFFFFFFF), std::min(k, 255u));
            });
        tiledBlendMaskColour(dst, clip, s.dstAnchor, mask, s.tile, s.srcAnchor, 0xFFFFFFFF, k);
        ASSERT_EQ(Pixels(dst), want);
    }
}

// A repaint of any clip gives the pixels a full repaint gives there.
TEST(TilingTest, PartialRedrawEqualsFullRedraw) {
    std::mt19937 rng(12);
    for (int i = 0; i < 2000; ++i) {
        SCOPED_TRACE(i);
        const TileCase s = RandomSetup(rng);
        const Image src = RandomImage(s.srcBounds, rng);
        const Rect frame = RandomRect(rng, s.dstBounds);

        Image full;
        full.SetBounds(s.dstBounds);
        full.Fill(0);
        tiledOverImage(full, frame, s.dstAnchor, src, s.tile, s.srcAnchor);

        Image partial;
        partial.SetBounds(s.dstBounds);
        partial.Fill(0);
        // Several overlapping clips that start mid-tile, each within the frame.
        for (int j = 0; j < 4; ++j) {
            const Rect clip = RandomRect(rng, s.dstBounds).Intersect(frame);
            fillRect(partial, clip, 0);
            tiledOverImage(partial, clip, s.dstAnchor, src, s.tile, s.srcAnchor);
            for (int32_t y = clip.top; y < clip.bottom; ++y) {
                for (int32_t x = clip.left; x < clip.right; ++x) {
                    if (!s.dstBounds.Contains(x, y))
                        continue;
                    ASSERT_EQ(*partial.At(x, y), *full.At(x, y)) << x << "," << y;
                }
            }
        }
    }
}

TEST(TilingTest, MiddleStretchColumn) {
    // The window body's stretch: column 0 of a 24 x 66 end repeated from x 24.
    std::mt19937 rng(13);
    const Image end = RandomImage(Rect{0, 0, 24, 66}, rng);
    Image window;
    window.SetBounds(Rect{0, 0, 200, 66});
    window.Fill(0);
    const Rect frame{24, 0, 176, 66};
    tiledCopyImage(window, Rect{100, 10, 103, 20}, Point{24, 0}, end, Rect{0, 0, 1, 66},
                   Point{0, 0});
    for (int32_t y = 10; y < 20; ++y) {
        for (int32_t x = 100; x < 103; ++x)
            ASSERT_EQ(*window.At(x, y), *end.At(0, y));
    }
    EXPECT_EQ(*window.At(99, 10), 0u);
    tiledCopyImage(window, frame, Point{24, 0}, end, Rect{0, 0, 1, 66}, Point{0, 0});
    EXPECT_EQ(*window.At(24, 65), *end.At(0, 65));
    EXPECT_EQ(*window.At(176, 0), 0u);
}

TEST(TilingTest, EmptyTileDrawsNothing) {
    std::mt19937 rng(14);
    const Image src = RandomImage(Rect{0, 0, 4, 4}, rng);
    Image dst = RandomImage(Rect{0, 0, 8, 8}, rng);
    const auto before = Pixels(dst);
    tiledCopyImage(dst, dst.bounds(), Point{}, src, Rect{4, 0, 8, 4}, Point{});
    tiledCopyImage(dst, dst.bounds(), Point{}, src, Rect{2, 2, 2, 3}, Point{});
    EXPECT_EQ(Pixels(dst), before);
}

}  // namespace
}  // namespace quil
