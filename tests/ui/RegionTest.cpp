#include "ui/Region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "platform/Rect.h"

namespace quil {
namespace {

std::vector<Rect> RectanglesOf(const Region& region) {
    std::vector<Rect> rects;
    region.Rectangles(rects);
    return rects;
}

bool Bit(const Region& region, size_t row, size_t column) {
    const size_t word = row * region.Stride() + column / 32;
    return (region.CellBits()[word] >> (column % 32) & 1u) != 0;
}

// The representation's own rules: ascending boundaries, block size, clear
// padding bits and border cells, and no two equal neighbouring rows.
::testing::AssertionResult IsConsistent(const Region& region) {
    const std::vector<int32_t>& xs = region.XBoundaries();
    const std::vector<int32_t>& ys = region.YBoundaries();
    if (!std::is_sorted(xs.begin(), xs.end()) ||
        std::adjacent_find(xs.begin(), xs.end()) != xs.end()) {
        return ::testing::AssertionFailure() << "x boundaries not strictly ascending";
    }
    if (!std::is_sorted(ys.begin(), ys.end()) ||
        std::adjacent_find(ys.begin(), ys.end()) != ys.end()) {
        return ::testing::AssertionFailure() << "y boundaries not strictly ascending";
    }
    const size_t nx = xs.size();
    const size_t ny = ys.size();
    const size_t stride = region.Stride();
    if (stride != (nx + 32) / 32)
        return ::testing::AssertionFailure() << "stride " << stride;
    if (region.CellBits().size() != stride * (ny + 1)) {
        return ::testing::AssertionFailure() << "cell block of " << region.CellBits().size();
    }
    for (size_t row = 0; row <= ny; ++row) {
        for (size_t column = 0; column < stride * 32; ++column) {
            const bool border = row == 0 || row == ny || column == 0 || column >= nx;
            if (border && Bit(region, row, column)) {
                return ::testing::AssertionFailure()
                       << "border cell set at row " << row << ", column " << column;
            }
        }
        if (row > 0 && std::equal(region.CellBits().begin() + row * stride,
                                  region.CellBits().begin() + (row + 1) * stride,
                                  region.CellBits().begin() + (row - 1) * stride)) {
            return ::testing::AssertionFailure()
                   << "rows " << row - 1 << " and " << row << " are equal";
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(RegionTest, EmptyRectanglesGiveTheClearedRegion) {
    for (const Rect& rect : {Rect{5, 5, 5, 20}, Rect{5, 5, 20, 4}, Rect{}}) {
        Region region(Rect{0, 0, 3, 3});
        region.Set(rect);
        EXPECT_TRUE(region.IsEmpty());
        EXPECT_TRUE(region.XBoundaries().empty());
        EXPECT_TRUE(region.YBoundaries().empty());
        EXPECT_EQ(region.Stride(), 1u);
        EXPECT_EQ(region.CellBits(), std::vector<uint32_t>{0u});
        EXPECT_TRUE(RectanglesOf(region).empty());
    }
    EXPECT_TRUE(Region().IsEmpty());
}

TEST(RegionTest, SetHoldsOneInsideCell) {
    Region region(Rect{-3, 2, 7, 4});
    EXPECT_FALSE(region.IsEmpty());
    EXPECT_EQ(region.XBoundaries(), (std::vector<int32_t>{-3, 7}));
    EXPECT_EQ(region.YBoundaries(), (std::vector<int32_t>{2, 4}));
    EXPECT_EQ(region.CellBits(), (std::vector<uint32_t>{0u, 2u, 0u}));
    EXPECT_EQ(RectanglesOf(region), (std::vector<Rect>{{-3, 2, 7, 4}}));
    region.Clear();
    EXPECT_TRUE(region.IsEmpty());
    EXPECT_TRUE(region.XBoundaries().empty());
}

TEST(RegionTest, SideBySideRectanglesJoinIntoOneRun) {
    Region region(Rect{0, 0, 10, 10});
    region.Unite(Region(Rect{10, 0, 20, 10}));
    EXPECT_EQ(region.XBoundaries(), (std::vector<int32_t>{0, 10, 20}));
    EXPECT_EQ(RectanglesOf(region), (std::vector<Rect>{{0, 0, 20, 10}}));
    EXPECT_TRUE(IsConsistent(region));
}

TEST(RegionTest, StackedRectanglesMergeTheirRows) {
    const Region region = Region::Union(Region(Rect{0, 0, 10, 10}), Region(Rect{0, 10, 10, 20}));
    EXPECT_EQ(region.YBoundaries(), (std::vector<int32_t>{0, 20}));
    EXPECT_EQ(RectanglesOf(region), (std::vector<Rect>{{0, 0, 10, 20}}));
    EXPECT_TRUE(IsConsistent(region));
}

TEST(RegionTest, ExclusiveOrWithItselfIsEmptyButKeepsColumns) {
    Region region = Region::Union(Region(Rect{0, 0, 10, 10}), Region(Rect{20, 5, 30, 15}));
    const Region copy = region;
    EXPECT_TRUE(Region::SymmetricDifference(region, copy).IsEmpty());
    region.ExclusiveOr(region);
    EXPECT_TRUE(region.IsEmpty());
    EXPECT_TRUE(region.YBoundaries().empty());
    EXPECT_EQ(region.XBoundaries(), (std::vector<int32_t>{0, 10, 20, 30}));
    EXPECT_TRUE(RectanglesOf(region).empty());
    EXPECT_TRUE(IsConsistent(region));
}

TEST(RegionTest, ExclusiveOrLeavesTheDifference) {
    Region region(Rect{0, 0, 10, 10});
    region.ExclusiveOr(Region(Rect{0, 0, 12, 10}));
    EXPECT_EQ(RectanglesOf(region), (std::vector<Rect>{{10, 0, 12, 10}}));
    EXPECT_TRUE(IsConsistent(region));
}

TEST(RegionTest, OverlappingUnionComesOutRowByRow) {
    Region region(Rect{0, 0, 10, 10});
    region.Unite(Region(Rect{5, 5, 15, 15}));
    EXPECT_EQ(RectanglesOf(region),
              (std::vector<Rect>{{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}}));
    EXPECT_TRUE(IsConsistent(region));
}

TEST(RegionTest, CopiesAreIndependent) {
    Region region(Rect{0, 0, 4, 4});
    Region copy(region);
    copy.Unite(Region(Rect{10, 0, 14, 4}));
    Region& alias = region;
    region = alias;  // self-assignment keeps the contents
    EXPECT_EQ(RectanglesOf(region), (std::vector<Rect>{{0, 0, 4, 4}}));
    region = copy;
    EXPECT_EQ(RectanglesOf(region), (std::vector<Rect>{{0, 0, 4, 4}, {10, 0, 14, 4}}));
    Region moved(std::move(copy));
    EXPECT_EQ(RectanglesOf(moved), RectanglesOf(region));
    EXPECT_TRUE(IsConsistent(copy));  // NOLINT(bugprone-use-after-move): stays usable
}

// One row of 100 one-pixel columns at x = 0..99 (column c holds x = c - 1),
// with the pixels at `gaps` taken out; its runs end and start on and next to
// the 32-cell word boundaries.
TEST(RegionTest, RunsAroundWordBoundaries) {
    const std::vector<std::set<int32_t>> gapSets = {
        {31}, {63}, {31, 63, 95}, {30}, {29, 63}, {30, 62}, {0, 32, 64, 96}, {}, {99}};
    for (const std::set<int32_t>& gaps : gapSets) {
        Region region;
        for (int32_t x = 0; x < 100; ++x)
            region.Unite(Region(Rect{x, 0, x + 1, 5}));
        for (int32_t x : gaps)
            region.ExclusiveOr(Region(Rect{x, 0, x + 1, 5}));
        ASSERT_EQ(region.XBoundaries().size(), 101u);
        ASSERT_EQ(region.Stride(), 4u);

        std::vector<Rect> expected;
        for (int32_t x = 0; x < 100;) {
            if (gaps.count(x)) {
                ++x;
                continue;
            }
            int32_t end = x;
            while (end < 100 && !gaps.count(end))
                ++end;
            expected.push_back(Rect{x, 0, end, 5});
            x = end;
        }
        EXPECT_EQ(RectanglesOf(region), expected) << "first gap " << *gaps.begin();
        EXPECT_TRUE(IsConsistent(region));
    }
}

// A brute-force model: one flag per pixel of a window that holds every
// rectangle the test makes, wider than 64 columns.
class PixelSet {
  public:
    static constexpr int32_t kLeft = -40, kRight = 120, kTop = -40, kBottom = 60;

    void Clear() { pixels_.assign(kWidth * kHeight, 0); }
    void Apply(const Rect& rect, bool exclusive) {
        for (int32_t y = rect.top; y < rect.bottom; ++y) {
            for (int32_t x = rect.left; x < rect.right; ++x) {
                char& pixel = At(x, y);
                pixel = exclusive ? !pixel : 1;
            }
        }
    }
    void Combine(const PixelSet& other, bool exclusive) {
        for (size_t i = 0; i < pixels_.size(); ++i) {
            pixels_[i] =
                exclusive ? pixels_[i] != other.pixels_[i] : pixels_[i] || other.pixels_[i];
        }
    }
    bool Empty() const { return std::count(pixels_.begin(), pixels_.end(), 1) == 0; }

    // Whether `rects` cover exactly the set, each pixel once.
    ::testing::AssertionResult CoveredExactlyBy(const std::vector<Rect>& rects) const {
        std::vector<int> count(pixels_.size(), 0);
        for (const Rect& rect : rects) {
            if (rect.IsEmpty() || rect.left < kLeft || rect.right > kRight || rect.top < kTop ||
                rect.bottom > kBottom) {
                return ::testing::AssertionFailure()
                       << "stray rectangle " << rect.left << "," << rect.top << "," << rect.right
                       << "," << rect.bottom;
            }
            for (int32_t y = rect.top; y < rect.bottom; ++y) {
                for (int32_t x = rect.left; x < rect.right; ++x)
                    ++count[Index(x, y)];
            }
        }
        for (size_t i = 0; i < pixels_.size(); ++i) {
            if (count[i] != pixels_[i]) {
                return ::testing::AssertionFailure()
                       << "pixel " << static_cast<int32_t>(i % kWidth) + kLeft << ","
                       << static_cast<int32_t>(i / kWidth) + kTop << " covered " << count[i]
                       << " times, expected " << int{pixels_[i]};
            }
        }
        return ::testing::AssertionSuccess();
    }

  private:
    static constexpr size_t kWidth = kRight - kLeft, kHeight = kBottom - kTop;
    static size_t Index(int32_t x, int32_t y) {
        return static_cast<size_t>(y - kTop) * kWidth + static_cast<size_t>(x - kLeft);
    }
    char& At(int32_t x, int32_t y) { return pixels_[Index(x, y)]; }

    std::vector<char> pixels_ = std::vector<char>(kWidth * kHeight, 0);
};

::testing::AssertionResult InRowOrder(const std::vector<Rect>& rects) {
    for (size_t i = 1; i < rects.size(); ++i) {
        const Rect& a = rects[i - 1];
        const Rect& b = rects[i];
        const bool sameRow = a.top == b.top && a.bottom == b.bottom && a.right < b.left;
        if (!sameRow && b.top < a.bottom) {
            return ::testing::AssertionFailure() << "rectangle " << i << " out of order";
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(RegionTest, AgreesWithAPixelModel) {
    std::mt19937 random(20240611);
    auto coordinate = [&](int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(random);
    };
    auto randomRect = [&] {
        Rect rect{coordinate(PixelSet::kLeft, PixelSet::kRight),
                  coordinate(PixelSet::kTop, PixelSet::kBottom),
                  coordinate(PixelSet::kLeft, PixelSet::kRight),
                  coordinate(PixelSet::kTop, PixelSet::kBottom)};
        if (coordinate(0, 9) != 0) {  // mostly proper rectangles, some empty ones
            if (rect.left > rect.right)
                std::swap(rect.left, rect.right);
            if (rect.top > rect.bottom)
                std::swap(rect.top, rect.bottom);
        }
        return rect;
    };

    for (int trial = 0; trial < 20; ++trial) {
        Region regions[2];
        PixelSet models[2];
        for (int step = 0; step < 150; ++step) {
            const int target = coordinate(0, 1);
            Region& region = regions[target];
            PixelSet& model = models[target];
            const Region& other = regions[1 - target];
            const PixelSet& otherModel = models[1 - target];
            const Rect rect = randomRect();
            const int operation = coordinate(0, 9);
            switch (operation) {
                case 0:
                    region.Set(rect);
                    model.Clear();
                    model.Apply(rect, false);
                    break;
                case 1:
                case 2:
                    region.Unite(Region(rect));
                    model.Apply(rect, false);
                    break;
                case 3:
                case 4:
                    region.ExclusiveOr(Region(rect));
                    model.Apply(rect, true);
                    break;
                case 5:
                    region.Unite(other);
                    model.Combine(otherModel, false);
                    break;
                case 6:
                    region.ExclusiveOr(other);
                    model.Combine(otherModel, true);
                    break;
                case 7:
                    region = Region::Union(other, region);
                    model.Combine(otherModel, false);
                    break;
                case 8:
                    region = Region::SymmetricDifference(other, region);
                    model.Combine(otherModel, true);
                    break;
                default:
                    if (coordinate(0, 3) == 0) {
                        region.Clear();
                        model.Clear();
                    } else {
                        region = other;
                        model = otherModel;
                    }
                    break;
            }
            SCOPED_TRACE(::testing::Message()
                         << "trial " << trial << ", step " << step << ", operation " << operation);
            ASSERT_TRUE(IsConsistent(region));
            const std::vector<Rect> rects = RectanglesOf(region);
            ASSERT_TRUE(model.CoveredExactlyBy(rects));
            ASSERT_TRUE(InRowOrder(rects));
            ASSERT_EQ(region.IsEmpty(), model.Empty());
        }
    }
}

}  // namespace
}  // namespace quil
