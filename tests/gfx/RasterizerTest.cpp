// The edge-flag rasteriser, exact where its sampling rule is known and
// against a plain reference rasteriser elsewhere.
#include "gfx/Rasterizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "gfx/Path.h"

namespace quil {
namespace {

using Coverage = std::vector<uint8_t>;

// The reference: flattens lines and quadratic curves finely and tests every
// one of the 16 x 16 sample points of each clip pixel, at ((c + 1) / 16,
// (r + 0.5) / 16) from its corner (the right edge of the sample cell, where
// the edge-flag grid snaps its crossings), for even-odd crossing parity.
// Coverage is the number of samples inside, 256 taken as 255.
Coverage Reference(const Rect& clip, const Path& path) {
    std::vector<std::array<double, 4>> edges;  // x0, y0, x1, y1
    const std::vector<uint32_t>& words = path.words();
    double penX = 0, penY = 0, startX = 0, startY = 0;
    bool open = false;
    const auto line = [&](double x, double y) {
        if (y != penY)
            edges.push_back({penX, penY, x, y});
        penX = x;
        penY = y;
    };
    const auto quad = [&](double cx, double cy, double x, double y) {
        const double x0 = penX, y0 = penY;
        for (int i = 1; i <= 256; ++i) {
            const double t = i / 256.0, u = 1 - t;
            line(u * u * x0 + 2 * u * t * cx + t * t * x, u * u * y0 + 2 * u * t * cy + t * t * y);
        }
    };
    for (size_t i = 0; i < words.size() && words[i] != 0;) {
        const size_t count = words[i] & 0xFF;
        if (words.size() - i - 1 < count)
            break;
        const auto op = [&](size_t k) { return double(Path::Operand(words[i + 1 + k])); };
        if (words[i] == Path::kMove) {
            if (open)
                line(startX, startY);
            startX = penX = op(0);
            startY = penY = op(1);
            open = true;
        } else if (words[i] == Path::kLine) {
            line(op(0), op(1));
        } else if (words[i] == Path::kQuad) {
            quad(op(0), op(1), op(2), op(3));
        } else if (words[i] == Path::kClose || words[i] == Path::kCloseQuad) {
            words[i] == Path::kClose ? line(startX, startY) : quad(op(0), op(1), startX, startY);
            open = false;
        }
        i += 1 + count;
    }
    if (open)
        line(startX, startY);

    const auto width = static_cast<size_t>(clip.Width());
    std::vector<int> counts(width * static_cast<size_t>(clip.Height()), 0);
    std::vector<double> crossings;
    for (size_t r = 0; r < counts.size() / width * 16; ++r) {
        const double y = clip.top + (r + 0.5) / 16;
        crossings.clear();
        for (const auto& [x0, y0, x1, y1] : edges) {
            if ((y0 <= y) != (y1 <= y))
                crossings.push_back(x0 + (y - y0) * (x1 - x0) / (y1 - y0));
        }
        std::sort(crossings.begin(), crossings.end());
        size_t k = 0;
        for (size_t c = 0; c < width * 16; ++c) {
            while (k < crossings.size() && crossings[k] < clip.left + (c + 1.0) / 16)
                ++k;
            counts[(r / 16) * width + c / 16] += k % 2;
        }
    }
    Coverage coverage;
    for (int n : counts)
        coverage.push_back(static_cast<uint8_t>(std::min(n, 255)));
    return coverage;
}

Coverage Resolve(const Rasterizer& r) {
    const Rect& clip = r.clip();
    Mask mask;
    EXPECT_TRUE(mask.SetBounds(clip));
    mask.Fill(0xAB);
    r.ResolveToMask(mask, clip, Point{clip.left, clip.top});
    Coverage out;
    for (int32_t y = clip.top; y < clip.bottom; ++y)
        out.insert(out.end(), mask.At(clip.left, y), mask.At(clip.left, y) + clip.Width());
    return out;
}

Coverage Fill(const Rect& clip, const Path& path, uint32_t capacity = 0x10000) {
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

int64_t Total(const Coverage& v) {
    return std::accumulate(v.begin(), v.end(), int64_t{0});
}

// Pixels that the reference sees deep inside or outside (the pixel and its
// eight neighbours alike) differ by at most `settled` (0 unless the shape has
// slivers thinner than a sample); elsewhere by at most `edge`.
void ExpectNearReference(const Rect& clip, const Path& path, const std::string& what, int edge = 24,
                         int settled = 0) {
    const Coverage got = Fill(clip, path), want = Reference(clip, path);
    const int w = static_cast<int>(clip.Width()), h = static_cast<int>(clip.Height());
    int mismatches = 0;
    for (int y = 0; y < h && mismatches < 5; ++y) {
        for (int x = 0; x < w && mismatches < 5; ++x) {
            const int a = got[y * w + x], b = want[y * w + x];
            bool deep = b == 0 || b == 255;
            for (int ny = std::max(0, y - 1); ny <= std::min(h - 1, y + 1); ++ny) {
                for (int nx = std::max(0, x - 1); nx <= std::min(w - 1, x + 1); ++nx)
                    deep = deep && want[ny * w + nx] == b;
            }
            if (std::abs(a - b) > (deep ? settled : edge)) {
                ++mismatches;
                ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") is " << a
                              << ", reference " << b;
            }
        }
    }
    EXPECT_LE(std::abs(Total(got) - Total(want)), Total(want) / 50 + 4 * 255) << what;
}

TEST(RasterizerTest, SamplesOfASquareInEveryTracing) {
    // Cells an edge passes through lose their top sample row, those the
    // outline enters without a crossing too; cells never entered take the
    // state of their row. The start point and direction change nothing.
    const Coverage square = {240, 240, 0, 255, 255, 0, 0, 0, 0};
    const Rect clip{0, 0, 3, 3};
    EXPECT_EQ(Fill(clip, Polygon({0, 0, 2, 0, 2, 2, 0, 2})), square);
    EXPECT_EQ(Fill(clip, Polygon({2, 2, 2, 0, 0, 0, 0, 2})), square);
    // Flat edges inside cells: part rows, top (less its top sample row) and bottom.
    EXPECT_EQ(Fill(Rect{0, 0, 4, 3}, Rectangle(0, 0.5f, 3, 2.5f)),
              (Coverage{112, 112, 112, 0, 255, 255, 255, 0, 128, 128, 128, 0}));

    // Starting mid-side or mid-slant is seamless.
    const Rect big{0, 0, 12, 12};
    const Coverage box = Fill(big, Polygon({1, 1.3f, 9.5f, 1.3f, 9.5f, 10.2f, 1, 10.2f}));
    EXPECT_EQ(Fill(big, Polygon({1, 5.6f, 1, 1.3f, 9.5f, 1.3f, 9.5f, 10.2f, 1, 10.2f})), box);
    const Coverage diamond = Fill(big, Polygon({6, 0.5f, 11, 6, 6, 11.5f, 1, 6}));
    EXPECT_EQ(Fill(big, Polygon({8.5f, 3.25f, 11, 6, 6, 11.5f, 1, 6, 6, 0.5f})), diamond);
}

// Random outlines, some with vertices or a control point alone up to 30000
// pixels away (well beyond the band, so cut to it), reach past every side of
// the clip and have near-tangent edges and slivers: two sample rows.
TEST(RasterizerTest, RandomShapesMatchTheReference) {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<float> coord(-12, 56);
    for (int shape = 0; shape < 60; ++shape) {
        Path path;
        for (int c = 0; c < 1 + shape % 3; ++c) {
            path.MoveTo(coord(rng), coord(rng));
            for (int i = 0; i < 2 + (shape + c) % 7; ++i) {
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
        ExpectNearReference(Rect{-7, 3, 41, 51}, path, "shape " + std::to_string(shape), 40, 16);
    }
    std::uniform_real_distribution<float> far(-30000, 30000);
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
        ExpectNearReference(Rect{0, 0, 48, 48}, path, "far shape " + std::to_string(shape), 40, 16);
    }
}

TEST(RasterizerTest, OnlyTheClipIsDrawn) {
    // Wholly left of the clip, the crossings pair up on its edge and cancel.
    EXPECT_EQ(Total(Fill(Rect{10, 20, 30, 30}, Polygon({-6, 25, 0, 19, 6, 25, 0, 31}))), 0);
    // Empty and inverted clips draw nothing and write nothing.
    for (const Rect& empty : {Rect{}, Rect{5, 5, 2, 9}}) {
        Rasterizer r(empty, 0x10000);
        r.FillPath(Rectangle(1, 1, 7, 7));
        Mask mask;
        ASSERT_TRUE(mask.SetBounds(Rect{0, 0, 10, 10}));
        mask.Fill(9);
        r.ResolveToMask(mask, Rect{0, 0, 10, 10}, Point{0, 0});
        EXPECT_EQ(*mask.At(4, 4), 9);
    }
}

TEST(RasterizerTest, ExhaustedBlocksLoseCrossingsButResolve) {
    const Rect clip{0, 0, 32, 32};
    const Path diamond = Polygon({16, 3.5f, 28.5f, 16, 16, 28.5f, 3.5f, 16});
    const Coverage full = Fill(clip, diamond);
    EXPECT_EQ(Total(Fill(clip, diamond, 1)), 0);  // only the scratch block
    EXPECT_EQ(Total(Fill(clip, diamond, 0)), 0);
    EXPECT_EQ(Fill(clip, diamond, 200), full);
    EXPECT_EQ(Fill(clip, diamond, 0xFFFFFFFF), full);  // more than indices can name
    const Coverage partial = Fill(clip, diamond, 20);
    EXPECT_NE(partial, full);
    EXPECT_GT(Total(partial), 0);
}

TEST(RasterizerTest, ResolveWritesOnlyInsideClipAndDestination) {
    const Rect clip{10, 10, 20, 20};
    Rasterizer r(clip, 0x10000);
    r.FillPath(Rectangle(8, 8, 22, 22));  // covers the whole clip
    Mask mask;
    ASSERT_TRUE(mask.SetBounds(Rect{0, 0, 8, 8}));
    mask.Fill(7);
    // A rect reaching outside the clip on every side, placed partly off the
    // mask: mask (x, y) shows clip pixel (x + 8, y + 7).
    r.ResolveToMask(mask, Rect{5, 5, 30, 30}, Point{-3, -2});
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(*mask.At(x, y), clip.Contains(x + 8, y + 7) ? 255 : 7) << x << ", " << y;
    }
    // Entirely off the mask or the clip, or at extreme offsets: nothing.
    mask.Fill(7);
    r.ResolveToMask(mask, clip, Point{100, 100});
    r.ResolveToMask(mask, clip, Point{std::numeric_limits<int32_t>::min(), 0});
    r.ResolveToMask(mask, Rect{30, 30, 40, 40}, Point{0, 0});
    r.ResolveToMask(mask, Rect{15, 15, 15, 20}, Point{0, 0});
    EXPECT_EQ(Total(Coverage(mask.At(0, 0), mask.At(0, 0) + 64)), 64 * 7);
    // Destinations without writable storage are left alone.
    Mask none;
    r.ResolveToMask(none, clip, Point{0, 0});
    const uint32_t pixels[4] = {1, 2, 3, 4};
    Image wrapped;
    wrapped.Wrap(reinterpret_cast<const uint8_t*>(pixels), 8, 2, 2);
    r.ResolveOverImage(wrapped, clip, Point{0, 0}, 0xFFFFFFFF);
    EXPECT_EQ(pixels[0], 1u);

    // A partial resolve counts the crossings left of its rect.
    Rasterizer bar(Rect{0, 0, 20, 4}, 0x10000);
    bar.FillPath(Rectangle(2.5f, 0, 17.5f, 4));
    const Coverage whole = Resolve(bar);
    mask.Fill(7);
    bar.ResolveToMask(mask, Rect{10, 1, 15, 3}, Point{0, 0});
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(*mask.At(x, y), whole[(y + 1) * 20 + x + 10]) << x << ", " << y;
    }
}

TEST(RasterizerTest, HugeCoordinatesAndUnclosedPaths) {
    EXPECT_EQ(Total(Fill(Rect{0, 0, 30, 20}, Rectangle(-1e30f, -1e30f, 1e30f, 1e30f))), 600 * 255);

    // An open contour is closed by a line, also before a move; zero-area
    // shapes fill nothing.
    const Rect small{0, 0, 10, 10};
    const Coverage closed = Fill(small, Rectangle(1, 1, 8, 8));
    Path open;
    open.MoveTo(1, 1);
    open.LineTo(8, 1);
    open.LineTo(8, 8);
    open.LineTo(1, 8);
    EXPECT_EQ(Fill(small, open), closed);
    Path twiceOpen = open;
    twiceOpen.Append(open);
    EXPECT_EQ(Total(Fill(small, twiceOpen)), 0);
    EXPECT_EQ(Total(Fill(small, Polygon({1, 1, 9, 9, 1, 1}))), 0);
}

}  // namespace
}  // namespace quil
