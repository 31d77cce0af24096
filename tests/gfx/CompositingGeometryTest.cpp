#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>

#include "gfx/Compositing.h"
#include "gfx/PixelArithmetic.h"
#include "tests/gfx/CompositingTestSupport.h"

namespace quil {
namespace {

using gfxtest::Pixels;
using gfxtest::RandomBounds;
using gfxtest::RandomImage;
using gfxtest::RandomMask;
using gfxtest::RandomRect;

// Destination pixel (x, y) takes source pixel (x - dx, y - dy) when it is
// inside dstRect and the destination, and the source pixel inside srcRect
// and the source.
template <typename D, typename S, typename Op>
std::vector<D> Expected(const PixelGrid<D>& dst, const Rect& dstRect, Point dstAnchor,
                        const PixelGrid<S>& src, const Rect& srcRect, Point srcAnchor, Op op) {
    std::vector<D> out;
    const Rect& b = dst.bounds();
    for (int32_t y = b.top; y < b.bottom; ++y) {
        for (int32_t x = b.left; x < b.right; ++x) {
            D value = *dst.At(x, y);
            const int64_t sx = int64_t{x} - dstAnchor.x + srcAnchor.x;
            const int64_t sy = int64_t{y} - dstAnchor.y + srcAnchor.y;
            auto inside = [](const Rect& r, int64_t px, int64_t py) {
                return r.left <= px && px < r.right && r.top <= py && py < r.bottom;
            };
            if (dstRect.Contains(x, y) && inside(srcRect, sx, sy) && inside(src.bounds(), sx, sy)) {
                value = op(value, *src.At(static_cast<int32_t>(sx), static_cast<int32_t>(sy)));
            }
            out.push_back(value);
        }
    }
    return out;
}

struct Case {
    Rect dstBounds, srcBounds, dstRect, srcRect;
    Point dstAnchor, srcAnchor;
};

Case RandomCase(std::mt19937& rng) {
    auto coord = [&](int32_t range) {
        return static_cast<int32_t>(rng() % (2 * range + 1)) - range;
    };
    Case c;
    c.dstBounds = RandomBounds(rng, 20, 17, 13);
    c.srcBounds = RandomBounds(rng, 20, 13, 11);
    c.dstRect = RandomRect(rng, c.dstBounds);
    c.srcRect = RandomRect(rng, c.srcBounds);
    c.dstAnchor = Point{coord(30), coord(30)};
    c.srcAnchor = Point{coord(30), coord(30)};
    return c;
}

TEST(CompositingGeometryTest, EveryOperationMatchesTheMappingRule) {
    std::mt19937 rng(7);
    const uint32_t colour = 0xFF5D38C7;
    for (int i = 0; i < 3000; ++i) {
        const Case c = RandomCase(rng);
        const uint32_t k = std::vector<uint32_t>{0, 1, 127, 254, 255}[rng() % 5];
        SCOPED_TRACE(i);

        Mask maskDst = RandomMask(c.dstBounds, rng);
        const Mask maskSrc = RandomMask(c.srcBounds, rng);
        auto want = Expected(maskDst, c.dstRect, c.dstAnchor, maskSrc, c.srcRect, c.srcAnchor,
                             [](uint8_t, uint8_t s) { return s; });
        copyMask(maskDst, c.dstRect, c.dstAnchor, maskSrc, c.srcRect, c.srcAnchor);
        ASSERT_EQ(Pixels(maskDst), want);

        const Image imageSrc = RandomImage(c.srcBounds, rng);
        using ImageOp = std::function<void(Image&)>;
        using PixelOp = std::function<uint32_t(uint32_t, uint32_t)>;
        const std::vector<std::pair<ImageOp, PixelOp>> imageOps = {
            {[&](Image& d) {
                 copyImage(d, c.dstRect, c.dstAnchor, imageSrc, c.srcRect, c.srcAnchor);
             },
             [](uint32_t, uint32_t s) { return s; }},
            {[&](Image& d) {
                 overImage(d, c.dstRect, c.dstAnchor, imageSrc, c.srcRect, c.srcAnchor);
             },
             [](uint32_t d, uint32_t s) { return composeOver(d, s); }},
        };
        for (const auto& [apply, op] : imageOps) {
            Image dst = RandomImage(c.dstBounds, rng);
            auto wantImage =
                Expected(dst, c.dstRect, c.dstAnchor, imageSrc, c.srcRect, c.srcAnchor, op);
            apply(dst);
            ASSERT_EQ(Pixels(dst), wantImage);
        }

        const std::vector<std::pair<ImageOp, std::function<uint32_t(uint32_t, uint8_t)>>> maskOps =
            {
                {[&](Image& d) {
                     writeMaskColour(d, c.dstRect, c.dstAnchor, maskSrc, c.srcRect, c.srcAnchor,
                                     colour, k);
                 },
                 [&](uint32_t d, uint8_t s) {
                     if (k == 0)
                         return d;
                     if (k == 255)
                         return tintCoverage(s, colour);
                     return composeScaled(0, tintCoverage(s, colour), k);
                 }},
                {[&](Image& d) {
                     overMaskColour(d, c.dstRect, c.dstAnchor, maskSrc, c.srcRect, c.srcAnchor,
                                    colour);
                 },
                 [&](uint32_t d, uint8_t s) { return composeOver(d, tintCoverage(s, colour)); }},
                {[&](Image& d) {
                     blendMaskColour(d, c.dstRect, c.dstAnchor, maskSrc, c.srcRect, c.srcAnchor,
                                     colour, k);
                 },
                 [&](uint32_t d, uint8_t s) {
                     return composeScaled(d, tintCoverage(s, colour), k);
                 }},
            };
        for (const auto& [apply, op] : maskOps) {
            Image dst = RandomImage(c.dstBounds, rng);
            auto wantImage =
                Expected(dst, c.dstRect, c.dstAnchor, maskSrc, c.srcRect, c.srcAnchor, op);
            apply(dst);
            ASSERT_EQ(Pixels(dst), wantImage);
        }
    }
}

TEST(CompositingGeometryTest, BoundsAwayFromTheOriginAndNegativeAnchors) {
    Mask src;
    ASSERT_TRUE(src.SetBounds(Rect{-10, -20, -6, -17}));  // 4 x 3
    gfxtest::FillWith(
        src, [](int32_t x, int32_t y) { return static_cast<uint8_t>((x + 10) + 10 * (y + 20)); });
    Mask dst;
    ASSERT_TRUE(dst.SetBounds(Rect{100, 50, 106, 54}));  // 6 x 4
    dst.Fill(0xEE);
    // Source (-9, -19) lands on (101, 51): offset (110, 70).
    copyMask(dst, Rect{0, 0, 1000, 1000}, Point{-1000, -1000}, src, Rect{-9, -19, 100, 100},
             Point{-1110, -1070});
    EXPECT_EQ(Pixels(dst), (std::vector<uint8_t>{
                               0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,  //
                               0xEE, 11,   12,   13,   0xEE, 0xEE,  //
                               0xEE, 21,   22,   23,   0xEE, 0xEE,  //
                               0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                           }));
}

TEST(CompositingGeometryTest, SourceOutsideTheDestinationWritesNothing) {
    std::mt19937 rng(3);
    Image dst = RandomImage(Rect{0, 0, 8, 8}, rng);
    const Image src = RandomImage(Rect{0, 0, 8, 8}, rng);
    const auto before = Pixels(dst);
    copyImage(dst, dst.bounds(), Point{8, 0}, src, src.bounds(), Point{0, 0});       // just right
    copyImage(dst, dst.bounds(), Point{0, -8}, src, src.bounds(), Point{0, 0});      // just above
    copyImage(dst, Rect{0, 0, 4, 8}, Point{4, 0}, src, src.bounds(), Point{0, 0});   // clip misses
    copyImage(dst, dst.bounds(), Point{0, 0}, src, Rect{8, 0, 16, 8}, Point{0, 0});  // beyond src
    EXPECT_EQ(Pixels(dst), before);
}

TEST(CompositingGeometryTest, FarAnchorsDoNotOverflow) {
    std::mt19937 rng(4);
    Image dst = RandomImage(Rect{-4, -4, 4, 4}, rng);
    const Image src = RandomImage(Rect{INT32_MAX - 4, INT32_MIN, INT32_MAX, INT32_MIN + 4}, rng);
    const auto before = Pixels(dst);
    const Rect all{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    copyImage(dst, all, Point{INT32_MIN, INT32_MAX}, src, all, Point{INT32_MAX, INT32_MIN});
    overImage(dst, all, Point{INT32_MAX, INT32_MAX}, src, all, Point{INT32_MIN, INT32_MIN});
    EXPECT_EQ(Pixels(dst), before);
    // The anchors bring the far source exactly onto the destination.
    copyImage(dst, all, Point{-4, -4}, src, all, Point{INT32_MAX - 4, INT32_MIN});
    EXPECT_EQ(*dst.At(-1, -1), *src.At(INT32_MAX - 1, INT32_MIN + 3));
    tiledCopyImage(dst, all, Point{INT32_MIN, INT32_MAX}, src, all, Point{INT32_MAX, INT32_MIN});
}

TEST(CompositingGeometryTest, GridsWithoutWritableStorageAreNeverWritten) {
    std::mt19937 rng(5);
    const Image src = RandomImage(Rect{0, 0, 4, 4}, rng);
    const Mask mask = RandomMask(Rect{0, 0, 4, 4}, rng);
    Image empty;
    copyImage(empty, Rect{0, 0, 4, 4}, Point{}, src, src.bounds(), Point{});
    fillRect(empty, Rect{0, 0, 4, 4}, 1);
    EXPECT_FALSE(empty.HasStorage());

    // A wrapped grid reads someone else's constant rows.
    alignas(16) const uint32_t rows[2][2] = {{1, 2}, {3, 4}};
    Image wrapped;
    wrapped.Wrap(reinterpret_cast<const uint8_t*>(rows), 8, 2, 2);
    copyImage(wrapped, wrapped.bounds(), Point{}, src, src.bounds(), Point{});
    overImage(wrapped, wrapped.bounds(), Point{}, src, src.bounds(), Point{});
    writeMaskColour(wrapped, wrapped.bounds(), Point{}, mask, mask.bounds(), Point{}, ~0u, 255);
    blendMaskColour(wrapped, wrapped.bounds(), Point{}, mask, mask.bounds(), Point{}, ~0u, 9);
    overMaskColour(wrapped, wrapped.bounds(), Point{}, mask, mask.bounds(), Point{}, ~0u);
    tiledCopyImage(wrapped, wrapped.bounds(), Point{}, src, src.bounds(), Point{});
    fillRect(wrapped, wrapped.bounds(), 0);
    EXPECT_EQ(Pixels(wrapped), (std::vector<uint32_t>{1, 2, 3, 4}));

    // ... and serves as a source like any other.
    Image dst;
    ASSERT_TRUE(dst.SetBounds(Rect{0, 0, 2, 2}));
    copyImage(dst, dst.bounds(), Point{}, wrapped, wrapped.bounds(), Point{});
    EXPECT_EQ(Pixels(dst), (std::vector<uint32_t>{1, 2, 3, 4}));
}

TEST(CompositingGeometryTest, SetBoundsRefusesEmptyRectanglesAndKeepsTheBuffer) {
    Image image;
    ASSERT_TRUE(image.SetBounds(Rect{-3, 2, 2, 5}));
    EXPECT_EQ(image.stride(), 24);  // 5 * 4 raised to a multiple of 8
    EXPECT_EQ(image.bufferSize(), 72u);
    image.Fill(0x11223344);
    EXPECT_FALSE(image.SetBounds(Rect{10, 10, 10, 20}));
    EXPECT_FALSE(image.SetBounds(Rect{10, 10, 20, 9}));
    EXPECT_EQ(image.bounds(), (Rect{-3, 2, 2, 5}));
    EXPECT_EQ(*image.At(1, 4), 0x11223344u);

    // Too large to hold: like short memory, no storage and empty bounds.
    EXPECT_FALSE(image.SetBounds(Rect{INT32_MIN, 0, INT32_MAX, INT32_MAX}));
    EXPECT_FALSE(image.HasStorage());
    EXPECT_TRUE(image.bounds().IsEmpty());
}

}  // namespace
}  // namespace quil
