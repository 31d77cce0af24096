// Pixels: the per-pixel arithmetic, every compositing operation and its tiled
// form against one plain reference of the copy geometry, grids and masks,
// the embedded artwork format and the skin coloured from it.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <type_traits>
#include <vector>

#include "gfx/Compositing.h"
#include "gfx/EmbeddedImage.h"
#include "gfx/PixelArithmetic.h"
#include "gfx/Skin.h"

namespace quil {
namespace {

using Words = std::vector<uint32_t>;

int32_t Coord(std::mt19937& rng, int32_t lo, int32_t hi) {
    return lo + static_cast<int32_t>(rng() % static_cast<uint32_t>(hi - lo + 1));
}

// Alphas and coverages favour the edge values 0, 1, 254 and 255; pixels are
// premultiplied.
uint32_t RandomAlpha(std::mt19937& rng) {
    return rng() % 3 == 0 ? Words{0, 1, 254, 255}[rng() % 4] : rng() % 256;
}

uint32_t RandomPremultiplied(std::mt19937& rng) {
    const uint32_t a = RandomAlpha(rng);
    const uint32_t r = rng() % (a + 1), g = rng() % (a + 1), b = rng() % (a + 1);
    return pixel::Pack(a, r, g, b);
}

template <typename Grid, typename Make>
Grid Made(const Rect& bounds, Make make) {
    Grid grid;
    grid.SetBounds(bounds);
    for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
        for (int32_t x = bounds.left; x < bounds.right; ++x)
            *grid.At(x, y) =
                static_cast<std::remove_reference_t<decltype(*grid.At(x, y))>>(make(x, y));
    }
    return grid;
}

Image RandomImage(const Rect& bounds, std::mt19937& rng) {
    return Made<Image>(bounds, [&](int32_t, int32_t) { return RandomPremultiplied(rng); });
}

Mask RandomMask(const Rect& bounds, std::mt19937& rng) {
    return Made<Mask>(bounds, [&](int32_t, int32_t) { return RandomAlpha(rng); });
}

// Every pixel inside the bounds, row by row.
template <typename Pixel>
std::vector<Pixel> Pixels(const PixelGrid<Pixel>& grid) {
    std::vector<Pixel> out;
    const Rect& b = grid.bounds();
    for (int32_t y = b.top; y < b.bottom; ++y)
        out.insert(out.end(), grid.At(b.left, y), grid.At(b.left, y) + b.Width());
    return out;
}

// A rectangle around `area`, sometimes inverted or empty.
Rect RandomRect(std::mt19937& rng, const Rect& area) {
    const int32_t l = Coord(rng, area.left - 5, area.right + 5);
    const int32_t t = Coord(rng, area.top - 5, area.bottom + 5);
    if (rng() % 10 == 0)
        return Rect{l, t, Coord(rng, l - 5, l), Coord(rng, t - 5, t + 5)};
    return Rect{l, t, Coord(rng, l, area.right + 8), Coord(rng, t, area.bottom + 8)};
}

struct Geometry {
    Rect dstBounds, srcBounds, dstRect, srcRect;
    Point dstAnchor, srcAnchor;
};

// Source rectangles are sometimes one column (as the window body's middle
// stretch) or one row.
Geometry RandomGeometry(std::mt19937& rng) {
    Geometry g;
    for (Rect* r : {&g.dstBounds, &g.srcBounds}) {
        const int32_t l = Coord(rng, -20, 20), t = Coord(rng, -20, 20);
        *r = Rect{l, t, l + Coord(rng, 1, 17), t + Coord(rng, 1, 13)};
    }
    g.dstRect = RandomRect(rng, g.dstBounds);
    const Rect& s = g.srcBounds;
    const uint32_t kind = rng() % 4;
    g.srcRect = kind == 0   ? Rect{s.left, s.top, s.left + 1, s.bottom}
                : kind == 1 ? Rect{s.left, s.top, s.right, s.top + 1}
                            : RandomRect(rng, s);
    const int32_t range = rng() % 4 == 0 ? 1000 : 30;
    g.dstAnchor = Point{Coord(rng, -range, range), Coord(rng, -range, range)};
    g.srcAnchor = Point{Coord(rng, -range, range), Coord(rng, -range, range)};
    return g;
}

// The copy geometry, plainly: destination pixel p inside dstRect takes source
// pixel p - dstAnchor + srcAnchor when that lies inside srcRect and the
// source. Tiled, srcRect ∩ source is a tile repeated in both directions, its
// phase fixed by the same mapping.
template <typename D, typename S, typename Op>
std::vector<D> Reference(const PixelGrid<D>& dst, const Geometry& g, const PixelGrid<S>& src,
                         bool tiled, Op op) {
    const Rect tile = g.srcRect.Intersect(src.bounds());
    const auto floorMod = [](int64_t v, int64_t m) { return ((v % m) + m) % m; };
    std::vector<D> out = Pixels(dst);
    size_t i = 0;
    for (int32_t y = dst.bounds().top; y < dst.bounds().bottom; ++y) {
        for (int32_t x = dst.bounds().left; x < dst.bounds().right; ++x, ++i) {
            int64_t sx = int64_t{x} - g.dstAnchor.x + g.srcAnchor.x;
            int64_t sy = int64_t{y} - g.dstAnchor.y + g.srcAnchor.y;
            if (tiled && !tile.IsEmpty()) {
                sx = tile.left + floorMod(sx - tile.left, tile.Width());
                sy = tile.top + floorMod(sy - tile.top, tile.Height());
            }
            if (g.dstRect.Contains(x, y) && tile.left <= sx && sx < tile.right && tile.top <= sy &&
                sy < tile.bottom) {
                out[i] = static_cast<D>(op(out[i], *src.At(int32_t(sx), int32_t(sy))));
            }
        }
    }
    return out;
}

TEST(PixelArithmeticTest, KnownValuesAndPremultipliedResults) {
    const struct {
        const char* what;
        uint32_t got, want;
    } rows[] = {
        {"opaque source replaces", composeOver(0x80402010, 0xFF123456), 0xFF123456},
        {"transparent source keeps", composeOver(0x80402010, 0x00FFFFFF), 0x80402010},
        {"each term truncated", composeOver(0xFFFFFFFF, 0x80402000), 0xFFBF9F7F},
        {"alpha over alpha", composeOver(0x80000000, 0x80000000), 0xC0000000},
        {"scaled 255 over nothing", composeScaled(0, 0xFF5D38C7, 255), 0xFF5D38C7},
        {"scaled 0 keeps", composeScaled(0x80402010, 0xFF5D38C7, 0), 0x80402010},
        {"scaled transparent keeps", composeScaled(0x80402010, 0, 255), 0x80402010},
        {"scaled 1 over white", composeScaled(0xFFFFFFFF, 0xFFFFFFFF, 1), 0xFFFFFFFF},
        {"tint full keeps the word", tintCoverage(255, 0x7F5D38C7), 0x7F5D38C7},
        {"tint none", tintCoverage(0, 0xFF5D38C7), 0},
        {"tint 1", tintCoverage(1, 0xFFFFFFFF), 0x01010101},
        {"tint ignores colour alpha", tintCoverage(254, 0x10FFFFFF), 0xFEFEFEFE},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.got, r.want) << r.what;
}

TEST(CompositingTest, EveryOperationMatchesTheReference) {
    std::mt19937 rng(7);
    const uint32_t colour = 0xFF5D38C7;
    const auto copy = [](uint32_t, uint32_t s) { return s; };
    for (int i = 0; i < 3000; ++i) {
        SCOPED_TRACE(i);
        const Geometry g = RandomGeometry(rng);
        const Rect &dr = g.dstRect, &sr = g.srcRect;
        const Point da = g.dstAnchor, sa = g.srcAnchor;
        const uint32_t k = std::vector<uint32_t>{0, 1, 127, 254, 255, 300}[rng() % 6];
        const Image image = RandomImage(g.srcBounds, rng);
        const Mask mask = RandomMask(g.srcBounds, rng);
        const auto tint = [&](uint32_t c) { return tintCoverage(c, colour); };
        const auto blend = [&](uint32_t d, uint32_t c) {
            return composeScaled(d, tint(c), std::min(k, 255u));
        };
        const struct {
            const char* name;
            bool fromMask, tiled;
            std::function<void(Image&)> apply;
            std::function<uint32_t(uint32_t, uint32_t)> pixel;
        } ops[] = {
            {"copyImage", false, false, [&](Image& d) { copyImage(d, dr, da, image, sr, sa); },
             copy},
            {"overImage", false, false, [&](Image& d) { overImage(d, dr, da, image, sr, sa); },
             composeOver},
            {"writeMaskColour", true, false,
             [&](Image& d) { writeMaskColour(d, dr, da, mask, sr, sa, colour, k); },
             [&](uint32_t d, uint32_t c) {
                 return k == 0 ? d : k >= 255 ? tint(c) : composeScaled(0, tint(c), k);
             }},
            {"overMaskColour", true, false,
             [&](Image& d) { overMaskColour(d, dr, da, mask, sr, sa, colour); },
             [&](uint32_t d, uint32_t c) { return composeOver(d, tint(c)); }},
            {"blendMaskColour", true, false,
             [&](Image& d) { blendMaskColour(d, dr, da, mask, sr, sa, colour, k); }, blend},
            {"tiledCopyImage", false, true,
             [&](Image& d) { tiledCopyImage(d, dr, da, image, sr, sa); }, copy},
            {"tiledOverImage", false, true,
             [&](Image& d) { tiledOverImage(d, dr, da, image, sr, sa); }, composeOver},
            {"tiledBlendMaskColour", true, true,
             [&](Image& d) { tiledBlendMaskColour(d, dr, da, mask, sr, sa, colour, k); }, blend},
        };
        for (const auto& op : ops) {
            Image dst = RandomImage(g.dstBounds, rng);
            const Words want = op.fromMask ? Reference(dst, g, mask, op.tiled, op.pixel)
                                           : Reference(dst, g, image, op.tiled, op.pixel);
            op.apply(dst);
            ASSERT_EQ(Pixels(dst), want) << op.name;
        }

        Mask maskDst = RandomMask(g.dstBounds, rng);
        const auto wantMask = Reference(maskDst, g, mask, false, copy);
        copyMask(maskDst, dr, da, mask, sr, sa);
        ASSERT_EQ(Pixels(maskDst), wantMask) << "copyMask";

        // A fill is a one-pixel tile.
        const Image one = Made<Image>(Rect{0, 0, 1, 1}, [](int32_t, int32_t) { return 0x12u; });
        Geometry fill = g;
        fill.srcRect = one.bounds();
        Image filled = RandomImage(g.dstBounds, rng);
        const Words wantFill = Reference(filled, fill, one, true, copy);
        fillRect(filled, dr, 0x12);
        ASSERT_EQ(Pixels(filled), wantFill) << "fillRect";

        // Resizing keeps the pixels inside both bounds, at their coordinates.
        Mask resized =
            Made<Mask>(mask.bounds(), [&](int32_t x, int32_t y) { return *mask.At(x, y); });
        ASSERT_TRUE(resized.ResizeKeepingContent(g.dstBounds));
        ASSERT_EQ(Pixels(resized), Pixels(Made<Mask>(g.dstBounds, [&](int32_t x, int32_t y) {
                      return mask.bounds().Contains(x, y) ? *mask.At(x, y) : 0;
                  })));
    }
}

// Grids wrapping someone else's rows (the embedded artwork) are never
// written, by the plain operations or the tiled ones.
TEST(CompositingTest, WrappedRowsAreNeverWritten) {
    std::mt19937 rng(4);
    const Image src = RandomImage(Rect{0, 0, 4, 4}, rng);
    alignas(16) uint32_t rows[2][2] = {{1, 2}, {3, 4}};
    Image wrapped;
    wrapped.Wrap(reinterpret_cast<const uint8_t*>(rows), 8, 2, 2);
    copyImage(wrapped, wrapped.bounds(), Point{}, src, src.bounds(), Point{});
    tiledCopyImage(wrapped, wrapped.bounds(), Point{}, src, src.bounds(), Point{});
    EXPECT_EQ(Pixels(wrapped), (Words{1, 2, 3, 4}));
}

// Embedded blobs sit in word-aligned storage, at `offset` bytes in.
struct Blob {
    std::vector<uint64_t> words;
    uint8_t* data;
    size_t size;
    explicit Blob(const std::vector<uint8_t>& from, size_t offset = 0)
        : words(from.size() / 8 + 3),
          data(reinterpret_cast<uint8_t*>(words.data()) + offset),
          size(from.size()) {
        std::memcpy(data, from.data(), from.size());
    }
};

TEST(EmbeddedImageTest, RoundTrip) {
    std::mt19937 rng(21);
    const Image source = RandomImage(Rect{-3, 5, 0, 9}, rng);  // 3 x 4, not at 0, 0
    const auto encoded = EncodeEmbeddedImage(source);
    ASSERT_EQ(encoded.size(), 16u + 16 * 4);  // rows padded to 8 bytes
    const Blob blob(encoded);
    Image wrapped;
    ASSERT_TRUE(WrapEmbeddedImage(blob.data, blob.size, wrapped));
    EXPECT_EQ(wrapped.bounds(), (Rect{0, 0, 3, 4}));
    EXPECT_FALSE(wrapped.IsWritable());
    EXPECT_EQ(Pixels(wrapped), Pixels(source));
    // A byte short, or rows off the word alignment: refused.
    const Blob misaligned(encoded, 1);
    EXPECT_FALSE(WrapEmbeddedImage(blob.data, blob.size - 1, wrapped));
    EXPECT_FALSE(WrapEmbeddedImage(misaligned.data, misaligned.size, wrapped));
    for (int32_t width : {1, 8, 9, 24}) {
        const Mask mask = RandomMask(Rect{2, 2, 2 + width, 5}, rng);
        const auto bytes = EncodeEmbeddedMask(mask);
        ASSERT_EQ(bytes.size(), 16 + (width + 7) / 8 * 8 * 3u);
        const Blob unaligned(bytes, 1);  // masks need no alignment
        Mask out;
        ASSERT_TRUE(WrapEmbeddedMask(unaligned.data, unaligned.size, out)) << width;
        EXPECT_EQ(out.bounds(), (Rect{0, 0, width, 3}));
        EXPECT_EQ(Pixels(out), Pixels(mask));
    }
    EXPECT_TRUE(EncodeEmbeddedMask(Mask{}).empty() && EncodeEmbeddedImage(Image{}).empty());
}

TEST(SkinTest, EndsAndGlyphsFromArtwork) {
    const Rect end{0, 0, 24, 66};
    SkinArtwork art;
    art.leftCapMask = Made<Mask>(end, [](int32_t x, int32_t y) { return x + y ? 255 : 0; });
    art.rightCapMask = Made<Mask>(end, [](int32_t, int32_t) { return 255; });
    *art.leftCapMask.At(1, 0) = 128;  // soft edge
    for (Image* shading : {&art.leftCapShading, &art.rightCapShading})
        *shading = Made<Image>(end, [](int32_t, int32_t) { return 0u; });
    *art.leftCapShading.At(2, 0) = 0x80000000;  // translucent black rim
    for (Mask* glyph : {&art.closeGlyph, &art.zoomGlyph, &art.minimizeGlyph}) {
        *glyph = Made<Mask>(Rect{0, 0, 8, 8}, [](int32_t x, int32_t y) {
            return x * 32 + y * 4 + (x == 7 && y == 7) * 3;
        });
    }
    Skin skin;
    ASSERT_TRUE(skin.Build(art, Skin::kBackgroundColour, 1.0f, Skin::kControlColour));
    EXPECT_EQ(Pixels(skin.rightEnd()), Words(24 * 66, 0xFF5D38C7));
    const Words left = Pixels(skin.leftEnd());
    EXPECT_EQ(Words(left.begin(), left.begin() + 4),
              (Words{0, 0x802E1C63u, 0xFF2E1B63u, 0xFF5D38C7u}));  // outside, edge, rim, body
    for (const auto& [strength, opacity] :
         {std::pair{Skin::kFaint, 63u}, {Skin::kFull, 255u}, {Skin::kHalf, 127u}}) {
        const Image& close = skin.close(strength);
        ASSERT_EQ(close.bounds(), (Rect{0, 0, 8, 8}));
        EXPECT_EQ(Pixels(close), Pixels(Made<Image>(close.bounds(), [&](int32_t x, int32_t y) {
                      const uint32_t tint = tintCoverage(*art.closeGlyph.At(x, y), 0xFFFFFFFF);
                      return opacity == 255 ? tint : composeScaled(0, tint, opacity);
                  })));
        EXPECT_EQ(Pixels(skin.zoom(strength)), Pixels(close));
        EXPECT_EQ(Pixels(skin.minimize(strength)), Pixels(close));
    }
}

}  // namespace
}  // namespace quil
