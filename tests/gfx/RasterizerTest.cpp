#include "gfx/Rasterizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "gfx/Path.h"
#include "gfx/PixelArithmetic.h"
#include "tests/gfx/ReferenceRasterizer.h"

namespace quil {
namespace {

constexpr int32_t kOne = 65536;

std::vector<uint8_t> Resolve(const Rasterizer& r) {
    const Rect& clip = r.clip();
    Mask mask;
    EXPECT_TRUE(mask.SetBounds(clip));
    mask.Fill(0xAB);
    r.ResolveToMask(mask, clip, Point{clip.left, clip.top});
    std::vector<uint8_t> out;
    for (int32_t y = clip.top; y < clip.bottom; ++y) {
        for (int32_t x = clip.left; x < clip.right; ++x)
            out.push_back(*mask.At(x, y));
    }
    return out;
}

std::vector<uint8_t> Fill(const Rect& clip, const Path& path, uint32_t capacity = 0x10000) {
    Rasterizer r(clip, capacity);
    r.FillPath(path);
    return Resolve(r);
}

Path Polygon(const std::vector<float>& xy) {
    Path p;
    p.MoveTo(xy[0], xy[1]);
    for (size_t i = 2; i + 1 < xy.size(); i += 2)
        p.LineTo(xy[i], xy[i + 1]);
    p.Close();
    return p;
}

Path Rectangle(float left, float top, float right, float bottom) {
    return Polygon({left, top, right, top, right, bottom, left, bottom});
}

// A circle of eight quadratic arcs.
Path Circle(float cx, float cy, float radius) {
    Path p;
    const double pi = std::acos(-1.0);
    const double k = radius / std::cos(pi / 8);
    p.MoveTo(cx + radius, cy);
    for (int i = 0; i < 8; ++i) {
        const double mid = (i + 0.5) * pi / 4;
        const double end = (i + 1) * pi / 4;
        const auto x = float(cx + k * std::cos(mid));
        const auto y = float(cy + k * std::sin(mid));
        if (i == 7) {
            p.CloseQuad(x, y);
        } else {
            p.QuadTo(x, y, float(cx + radius * std::cos(end)), float(cy + radius * std::sin(end)));
        }
    }
    return p;
}

int64_t Total(const std::vector<uint8_t>& v) {
    int64_t sum = 0;
    for (uint8_t c : v)
        sum += c;
    return sum;
}

// The clip pixel at (x, y) of a resolved clip of the given width.
uint8_t At(const std::vector<uint8_t>& v, int width, int x, int y) {
    return v[static_cast<size_t>(y * width + x)];
}

TEST(RasterizerTest, SquareLeavesTopSampleRowOutInEveryCellItEnters) {
    // Pixel (1, 0) has no crossing, but the top edge passes through it: it
    // loses its top sample row like pixel (0, 0). Pixel (1, 1), never
    // entered, takes the state of its row, all or nothing.
    const std::vector<uint8_t> want = {240, 240, 0, 255, 255, 0, 0, 0, 0};
    EXPECT_EQ(Fill(Rect{0, 0, 3, 3}, Polygon({0, 0, 2, 0, 2, 2, 0, 2})), want);

    // Driven directly, the last line ending on the first point.
    Rasterizer r(Rect{0, 0, 3, 3}, 0x10000);
    r.BeginContour();
    r.MoveTo(0, 0);
    r.LineTo(2 * kOne, 0);
    r.LineTo(2 * kOne, 2 * kOne);
    r.LineTo(0, 2 * kOne);
    r.LineTo(0, 0);
    r.CloseContour();
    EXPECT_EQ(Resolve(r), want);

    // Traced the other way round and from another corner: the same samples.
    EXPECT_EQ(Fill(Rect{0, 0, 3, 3}, Polygon({2, 2, 2, 0, 0, 0, 0, 2})), want);

    // Flat edges inside cells without crossings: part rows, top (less its
    // top sample row) and bottom.
    const std::vector<uint8_t> half = {112, 112, 112, 0, 255, 255, 255, 0, 128, 128, 128, 0};
    EXPECT_EQ(Fill(Rect{0, 0, 4, 3}, Rectangle(0, 0.5f, 3, 2.5f)), half);
}

TEST(RasterizerTest, ContourStartIsSeamless) {
    // Starting in the middle of a side, of a slanted side, or at a bottom
    // corner gives the same samples as starting at the top corner.
    const Rect clip{0, 0, 12, 12};
    const std::vector<uint8_t> corner =
        Fill(clip, Polygon({1, 1.3f, 9.5f, 1.3f, 9.5f, 10.2f, 1, 10.2f}));
    EXPECT_EQ(Fill(clip, Polygon({1, 5.6f, 1, 1.3f, 9.5f, 1.3f, 9.5f, 10.2f, 1, 10.2f})), corner);
    EXPECT_EQ(Fill(clip, Polygon({9.5f, 5.6f, 9.5f, 10.2f, 1, 10.2f, 1, 1.3f, 9.5f, 1.3f})),
              corner);
    EXPECT_EQ(Fill(clip, Polygon({9.5f, 10.2f, 1, 10.2f, 1, 1.3f, 9.5f, 1.3f})), corner);
    const std::vector<uint8_t> diamond = Fill(clip, Polygon({6, 0.5f, 11, 6, 6, 11.5f, 1, 6}));
    EXPECT_EQ(Fill(clip, Polygon({8.5f, 3.25f, 11, 6, 6, 11.5f, 1, 6, 6, 0.5f})), diamond);
    EXPECT_EQ(Fill(clip, Polygon({1, 6, 6, 0.5f, 11, 6, 6, 11.5f})), diamond);
}

// Compares with the plain rasteriser: pixels that the reference sees deep
// inside or outside (the pixel and its eight neighbours alike) differ by at
// most `settledTolerance` (0 unless the shapes have slivers thinner than a
// sample); elsewhere the difference stays within `tolerance`.
void ExpectCloseToReference(const Rect& clip, const std::vector<uint8_t>& got,
                            const std::vector<uint8_t>& want, const std::string& what,
                            int tolerance = 24, int settledTolerance = 0) {
    const int w = static_cast<int>(clip.Width());
    const int h = static_cast<int>(clip.Height());
    int mismatches = 0;
    for (int y = 0; y < h && mismatches < 5; ++y) {
        for (int x = 0; x < w && mismatches < 5; ++x) {
            const int a = At(got, w, x, y);
            const int b = At(want, w, x, y);
            bool settled = b == 0 || b == 255;
            for (int ny = std::max(0, y - 1); ny <= std::min(h - 1, y + 1); ++ny) {
                for (int nx = std::max(0, x - 1); nx <= std::min(w - 1, x + 1); ++nx) {
                    settled = settled && At(want, w, nx, ny) == b;
                }
            }
            const bool ok =
                settled ? std::abs(a - b) <= settledTolerance : std::abs(a - b) <= tolerance;
            if (!ok) {
                ++mismatches;
                ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") is " << a
                              << ", reference " << b;
            }
        }
    }
    const int64_t total = Total(got);
    const int64_t reference = Total(want);
    EXPECT_LE(std::abs(total - reference), reference / 50 + 4 * 255) << what;
}

std::vector<uint8_t> Reference(const Rect& clip, const Path& path) {
    ReferenceRasterizer ref(clip);
    ref.AddPath(path);
    return ref.Coverage();
}

TEST(RasterizerTest, FillIsEvenOddAcrossShapes) {
    const Rect clip{0, 0, 12, 12};
    Path both = Rectangle(1, 1, 7, 7);
    both.Append(Rectangle(4, 4, 10, 10));
    const std::vector<uint8_t> got = Fill(clip, both);
    EXPECT_EQ(At(got, 12, 2, 2), 255);
    EXPECT_EQ(At(got, 12, 8, 8), 255);
    EXPECT_EQ(At(got, 12, 5, 5), 0);  // the overlap cancels
    EXPECT_EQ(At(got, 12, 6, 6), 0);
    EXPECT_EQ(At(got, 12, 11, 11), 0);
    ExpectCloseToReference(clip, got, Reference(clip, both), "overlap");

    // A hole traced in the same direction as its outline is still a hole.
    Path ring = Rectangle(1, 1, 11, 11);
    ring.Append(Rectangle(4, 4, 8, 8));
    const std::vector<uint8_t> ringCoverage = Fill(clip, ring);
    EXPECT_EQ(At(ringCoverage, 12, 5, 5), 0);
    EXPECT_EQ(At(ringCoverage, 12, 2, 5), 255);
}

TEST(RasterizerTest, CrossingsLeftOfTheClipMoveToItsLeftEdge) {
    const Rect clip{10, 20, 30, 30};
    // Starts far left of the clip and ends inside it.
    const std::vector<uint8_t> got = Fill(clip, Rectangle(-500, 22, 15, 28));
    for (int x = 0; x < 20; ++x) {
        EXPECT_EQ(At(got, 20, x, 1), 0) << x;
        EXPECT_EQ(At(got, 20, x, 4), x < 5 ? 255 : 0) << x;
    }
    // A slanted shape crossing the left edge matches the reference.
    const Path slanted = Polygon({-40, 18, 22, 23.3f, 14.5f, 31, -3, 26});
    ExpectCloseToReference(clip, Fill(clip, slanted), Reference(clip, slanted), "slanted");
    // Wholly left of the clip: its crossings pair up on the edge and cancel.
    EXPECT_EQ(Total(Fill(clip, Circle(0, 25, 6))), 0);
}

TEST(RasterizerTest, ShapesAboveBelowOrRightOfTheClipLeaveNoTrace) {
    const Rect clip{0, 0, 20, 10};
    const Path inside = Circle(10, 5, 4);
    Path all = inside;
    all.Append(Rectangle(-5, -9, 25, -1));  // above
    all.Append(Rectangle(-5, 11, 25, 19));  // below
    all.Append(Rectangle(21, -3, 40, 13));  // right, over all rows
    all.Append(Circle(-3, -3, 2.5f));       // above left
    all.Append(Polygon({25, 2, 60, -30, 80, 40}));
    EXPECT_EQ(Fill(clip, all), Fill(clip, inside));
}

TEST(RasterizerTest, ExhaustedBlocksLoseCrossingsButResolve) {
    const Rect clip{0, 0, 32, 32};
    const Path circle = Circle(16, 16, 12);
    const std::vector<uint8_t> full = Fill(clip, circle);
    // Only the scratch block: every crossing is lost, nothing fills.
    EXPECT_EQ(Total(Fill(clip, circle, 1)), 0);
    EXPECT_EQ(Total(Fill(clip, circle, 0)), 0);
    // Enough blocks for the whole shape, and more than indices can name.
    EXPECT_EQ(Fill(clip, circle, 200), full);
    EXPECT_EQ(Fill(clip, circle, 0xFFFFFFFF), full);
    // Too few: the first cells keep their crossings, the rest are lost.
    Rasterizer few(clip, 20);
    few.FillPath(circle);
    const std::vector<uint8_t> partial = Resolve(few);
    EXPECT_NE(partial, full);
    EXPECT_GT(Total(partial), 0);
}

TEST(RasterizerTest, DirectlyDrivenWaveformBand) {
    const Rect clip{0, 0, 400, 40};
    std::vector<double> xy;
    std::vector<Point> points;
    for (int i = 0; i <= 200; ++i) {  // the upper edge, left to right
        const double x = i * 2.0;
        const double y = 20 - 3 - 14 * std::abs(std::sin(i * 0.21)) * std::exp(-i / 150.0);
        points.push_back(Point{static_cast<int32_t>(x * kOne), static_cast<int32_t>(y * kOne)});
    }
    for (int i = 200; i >= 0; --i) {  // the lower edge, mirrored, right to left
        const Point p = points[static_cast<size_t>(i)];
        points.push_back(Point{p.x, 40 * kOne - p.y});
    }
    Rasterizer r(clip, 0x10000);
    r.BeginContour();
    r.MoveTo(points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i)
        r.LineTo(points[i].x, points[i].y);
    r.LineTo(points[0].x, points[0].y);
    r.CloseContour();
    for (const Point& p : points) {
        xy.push_back(p.x / double(kOne));
        xy.push_back(p.y / double(kOne));
    }
    ReferenceRasterizer ref(clip);
    ref.AddPolygon(xy);
    const std::vector<uint8_t> got = Resolve(r);
    ExpectCloseToReference(clip, got, ref.Coverage(), "waveform");
    EXPECT_EQ(At(got, 400, 100, 20), 255);
    EXPECT_EQ(At(got, 400, 100, 1), 0);
}

TEST(RasterizerTest, QuadraticCirclesMatchTheReference) {
    const Rect clip{0, 0, 40, 40};
    for (const float radius : {1.3f, 3.5f, 7.25f, 18.6f}) {
        const Path circle = Circle(20.3f, 19.7f, radius);
        ExpectCloseToReference(clip, Fill(clip, circle), Reference(clip, circle), "circle");
    }
    // A ring made of two circles, the hole cut by even-odd.
    Path ring = Circle(20, 20, 15);
    ring.Append(Circle(20.5f, 20.5f, 9));
    const std::vector<uint8_t> got = Fill(clip, ring);
    EXPECT_EQ(At(got, 40, 20, 20), 0);
    ExpectCloseToReference(clip, got, Reference(clip, ring), "ring");
}

TEST(RasterizerTest, RandomShapesMatchTheReference) {
    std::mt19937 rng(20240611);
    const Rect clip{-7, 3, 41, 51};
    std::uniform_real_distribution<float> coord(-12, 56);
    for (int shape = 0; shape < 60; ++shape) {
        Path path;
        const int contours = 1 + shape % 3;
        for (int c = 0; c < contours; ++c) {
            path.MoveTo(coord(rng), coord(rng));
            const int n = 2 + (shape + c) % 7;
            for (int i = 0; i < n; ++i) {
                if (shape % 2 == 1 && i % 2 == 0) {
                    path.QuadTo(coord(rng), coord(rng), coord(rng), coord(rng));
                } else {
                    path.LineTo(coord(rng), coord(rng));
                }
            }
            if (shape % 4 == 3) {
                path.CloseQuad(coord(rng), coord(rng));
            } else {
                path.Close();
            }
        }
        // Random outlines have near-tangent edges and slivers: allow two
        // sample rows of difference.
        ExpectCloseToReference(clip, Fill(clip, path), Reference(clip, path),
                               "shape " + std::to_string(shape), 40, 16);
    }
}

TEST(RasterizerTest, ResolveOverImageComposesTheTintedCoverage) {
    const Rect clip{0, 0, 16, 16};
    Rasterizer r(clip, 0x10000);
    r.FillPath(Circle(8.2f, 7.9f, 6.1f));
    const std::vector<uint8_t> coverage = Resolve(r);
    for (const uint32_t colour : {0xFF5D38C7u, 0x80402010u, 0x00000000u}) {
        Image image;
        ASSERT_TRUE(image.SetBounds(Rect{100, 200, 116, 216}));
        for (int y = 200; y < 216; ++y) {
            for (int x = 100; x < 116; ++x) {
                const uint32_t a = static_cast<uint32_t>(x * 37 + y * 11) & 0xFF;
                *image.At(x, y) = a << 24 | (a / 2) << 16 | (a / 3) << 8 | (a / 5);
            }
        }
        Image before;
        ASSERT_TRUE(before.SetBounds(image.bounds()));
        for (int y = 200; y < 216; ++y) {
            for (int x = 100; x < 116; ++x)
                *before.At(x, y) = *image.At(x, y);
        }
        r.ResolveOverImage(image, clip, Point{100, 200}, colour);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const uint32_t want = composeOver(*before.At(100 + x, 200 + y),
                                                  tintCoverage(At(coverage, 16, x, y), colour));
                ASSERT_EQ(*image.At(100 + x, 200 + y), want) << x << ", " << y;
            }
        }
    }
}

TEST(RasterizerTest, ResolveWritesOnlyInsideClipAndDestination) {
    const Rect clip{10, 10, 20, 20};
    Rasterizer r(clip, 0x10000);
    r.FillPath(Rectangle(8, 8, 22, 22));  // covers the whole clip
    Mask mask;
    ASSERT_TRUE(mask.SetBounds(Rect{0, 0, 8, 8}));
    mask.Fill(7);
    // Rect reaching outside the clip on every side, placed partly off the mask.
    r.ResolveToMask(mask, Rect{5, 5, 30, 30}, Point{-3, -2});
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            // Mask (x, y) shows clip pixel (x + 8, y + 7).
            const bool inClip = clip.Contains(x + 8, y + 7);
            EXPECT_EQ(*mask.At(x, y), inClip ? 255 : 7) << x << ", " << y;
        }
    }
    // Entirely off the mask or off the clip: nothing at all.
    mask.Fill(7);
    r.ResolveToMask(mask, clip, Point{100, 100});
    r.ResolveToMask(mask, Rect{30, 30, 40, 40}, Point{0, 0});
    r.ResolveToMask(mask, Rect{15, 15, 15, 20}, Point{0, 0});
    // Extreme offsets do not wrap around.
    r.ResolveToMask(mask, clip, Point{std::numeric_limits<int32_t>::min(), 0});
    r.ResolveToMask(
        mask, Rect{std::numeric_limits<int32_t>::min(), 0, std::numeric_limits<int32_t>::max(), 20},
        Point{std::numeric_limits<int32_t>::max(), 0});
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(*mask.At(x, y), 7);
    }
    // Destinations without writable storage are left alone.
    Mask none;
    r.ResolveToMask(none, clip, Point{0, 0});
    Image wrapped;
    const uint32_t pixels[4] = {1, 2, 3, 4};
    wrapped.Wrap(reinterpret_cast<const uint8_t*>(pixels), 8, 2, 2);
    r.ResolveOverImage(wrapped, clip, Point{0, 0}, 0xFFFFFFFF);
    EXPECT_EQ(pixels[0], 1u);
}

TEST(RasterizerTest, PartialResolveCountsCrossingsLeftOfTheRect) {
    const Rect clip{0, 0, 20, 4};
    Rasterizer r(clip, 0x10000);
    r.FillPath(Rectangle(2.5f, 0, 17.5f, 4));
    const std::vector<uint8_t> whole = Resolve(r);
    Mask mask;
    ASSERT_TRUE(mask.SetBounds(Rect{0, 0, 5, 2}));
    r.ResolveToMask(mask, Rect{10, 1, 15, 3}, Point{0, 0});
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(*mask.At(x, y), At(whole, 20, x + 10, y + 1));
    }
    EXPECT_EQ(*mask.At(0, 0), 255);
}

TEST(RasterizerTest, FarShapesAreCutToTheClip) {
    // Vertices up to about 30000 pixels away, well beyond the band.
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> far(-30000, 30000);
    const Rect clip{0, 0, 48, 48};
    for (int shape = 0; shape < 20; ++shape) {
        Path path;
        path.MoveTo(far(rng), far(rng));
        path.LineTo(24 + far(rng) / 4000, 24 + far(rng) / 4000);
        if (shape % 2 == 0) {
            path.QuadTo(far(rng), far(rng), far(rng), far(rng));
        } else {
            path.LineTo(far(rng), far(rng));
        }
        path.Close();
        ExpectCloseToReference(clip, Fill(clip, path), Reference(clip, path),
                               "far shape " + std::to_string(shape), 40, 16);
    }
    // A curve whose control point alone lies far away.
    Path bulge;
    bulge.MoveTo(2, 40);
    bulge.QuadTo(24, -2000, 46, 40);
    bulge.Close();
    ExpectCloseToReference(clip, Fill(clip, bulge), Reference(clip, bulge), "bulge");
}

TEST(RasterizerTest, DamagedCoordinatesFinishSafely) {
    const Rect clip{0, 0, 30, 20};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Path damaged;
    damaged.MoveTo(nan, 5);
    damaged.LineTo(1e30f, -1e30f);
    damaged.QuadTo(-inf, nan, 3e9f, 7);
    damaged.LineTo(-1e30f, 1e30f);
    damaged.Close();
    damaged.MoveTo(-1e30f, -1e30f);
    damaged.QuadTo(1e30f, -1e30f, 1e30f, 1e30f);
    damaged.QuadTo(-1e30f, 1e30f, -1e30f, -1e30f);
    damaged.CloseQuad(inf, -inf);
    for (int i = 0; i < 1000; ++i) {  // a damaged glyph with many far points
        damaged.MoveTo(i % 2 ? -3e7f : 3e7f, i % 3 ? 4e7f : -4e7f);
        damaged.QuadTo(1e30f, i * 1e6f, -2e7f, 5e7f);
        damaged.LineTo(15, 10);
        damaged.Close();
    }
    Rasterizer r(clip, 0x10000);
    r.FillPath(damaged);
    EXPECT_EQ(Resolve(r).size(), 600u);

    // A huge square covering the clip fills it whole.
    EXPECT_EQ(Total(Fill(clip, Rectangle(-1e30f, -1e30f, 1e30f, 1e30f))), 600 * 255);

    // Direct use at the ends of the coordinate range.
    const int32_t lo = std::numeric_limits<int32_t>::min();
    const int32_t hi = std::numeric_limits<int32_t>::max();
    Rasterizer direct(clip, 0x10000);
    direct.BeginContour();
    direct.MoveTo(lo, lo);
    direct.LineTo(hi, lo);
    direct.QuadTo(hi, hi, lo, hi);
    direct.LineTo(-(1 << 30), 1 << 30);
    direct.LineTo(1 << 30, -(1 << 30));
    direct.QuadTo(hi, lo, hi, hi);
    direct.LineTo(lo, lo);
    direct.CloseContour();
    EXPECT_EQ(Resolve(direct).size(), 600u);
}

TEST(RasterizerTest, MalformedPathsAreReadSafely) {
    const Rect clip{0, 0, 10, 10};
    const std::vector<uint8_t> closed = Fill(clip, Rectangle(1, 1, 8, 8));
    // Without its close, and with a move straight after: closed by a line.
    Path open;
    open.MoveTo(1, 1);
    open.LineTo(8, 1);
    open.LineTo(8, 8);
    open.LineTo(1, 8);
    EXPECT_EQ(Fill(clip, open), closed);
    Path twoOpen = open;
    twoOpen.Append(open);
    EXPECT_EQ(Total(Fill(clip, twoOpen)), 0);
    // Repeated closes change nothing.
    Path twice = Rectangle(1, 1, 8, 8);
    twice.Close();
    twice.CloseQuad(3, 3);
    EXPECT_EQ(Fill(clip, twice), closed);
}

TEST(RasterizerTest, DegenerateClipsAndShapes) {
    // Empty and inverted clips: nothing happens, nothing is written.
    for (const Rect& clip : {Rect{}, Rect{5, 5, 2, 9}}) {
        Rasterizer r(clip, 0x10000);
        r.FillPath(Circle(4, 4, 3));
        Mask mask;
        ASSERT_TRUE(mask.SetBounds(Rect{0, 0, 10, 10}));
        mask.Fill(9);
        r.ResolveToMask(mask, Rect{0, 0, 10, 10}, Point{0, 0});
        EXPECT_EQ(*mask.At(4, 4), 9);
    }
    // A clip far along the coordinate range still works where shapes can reach.
    const Rect farClip{32000, -32760, 32010, -32750};
    const std::vector<uint8_t> got = Fill(farClip, Rectangle(32002, -32758, 32008, -32752));
    EXPECT_EQ(At(got, 10, 4, 4), 255);
    EXPECT_EQ(At(got, 10, 0, 0), 0);
    // A clip past the 16.16 range cannot be reached; resolving is still safe.
    EXPECT_EQ(Total(Fill(Rect{40000, 0, 40010, 10}, Rectangle(39990, 2, 40020, 8))), 0);
    // Zero-area shapes: points, lines back and forth.
    EXPECT_EQ(Total(Fill(Rect{0, 0, 10, 10}, Polygon({3, 3, 3, 3, 3, 3}))), 0);
    EXPECT_EQ(Total(Fill(Rect{0, 0, 10, 10}, Polygon({1, 1, 9, 9, 1, 1}))), 0);
}

}  // namespace
}  // namespace quil
