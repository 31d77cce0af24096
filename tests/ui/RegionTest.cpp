#include "ui/Region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "tests/ui/UiTestSupport.h"

namespace quil {
namespace {

using testing::RectanglesOf;

// The representation's bounds: the block size, clear padding bits and
// border cells, which the rectangles never read beyond. (Unsorted
// boundaries would show as empty rectangles, unmerged rows only as more.)
::testing::AssertionResult IsConsistent(const Region& region) {
    const std::vector<int32_t>&xs = region.XBoundaries(), &ys = region.YBoundaries();
    const size_t stride = region.Stride();
    const std::vector<uint32_t>& bits = region.CellBits();
    if (stride != (xs.size() + 32) / 32 || bits.size() != stride * (ys.size() + 1))
        return ::testing::AssertionFailure() << "stride " << stride << ", " << bits.size();
    for (size_t row = 0; row <= ys.size(); ++row) {
        for (size_t column = 0; column < stride * 32; ++column) {
            const bool set = bits[row * stride + column / 32] >> (column % 32) & 1u;
            if (set && (row == 0 || row == ys.size() || column == 0 || column >= xs.size()))
                return ::testing::AssertionFailure() << "border cell " << row << "," << column;
        }
    }
    return ::testing::AssertionSuccess();
}

// One row of 100 one-pixel columns (column c holds x = c - 1) with the pixels
// at `gaps` taken out: runs start and end on and next to the 32-cell word
// boundaries.
TEST(RegionTest, RunsAroundWordBoundaries) {
    // The last three leave one-pixel runs that start just before a boundary.
    const std::vector<std::set<int32_t>> gapSets = {{31},     {63},     {31, 63, 95},    {30},
                                                    {29, 63}, {30, 62}, {0, 32, 64, 96}, {},
                                                    {99},     {28, 30}, {60, 62},        {91, 93}};
    for (const std::set<int32_t>& gaps : gapSets) {
        Region region;
        std::vector<Rect> expected;
        for (int32_t x = 0; x < 100; ++x) {
            region.Unite(Region(Rect{x, 0, x + 1, 5}));
            if (gaps.count(x))
                continue;
            if (expected.empty() || expected.back().right != x)
                expected.push_back(Rect{x, 0, x, 5});
            expected.back().right = x + 1;
        }
        for (int32_t x : gaps)
            region.ExclusiveOr(Region(Rect{x, 0, x + 1, 5}));
        EXPECT_EQ(RectanglesOf(region), expected) << gaps.size() << " gaps";
        EXPECT_TRUE(IsConsistent(region));
    }
}

// Against a plain model, one flag per pixel: random unions, exclusive ors,
// sets, copies, self-copies, moves and clears of two regions.
TEST(RegionTest, AgreesWithAPixelModel) {
    constexpr int32_t kLeft = -40, kRight = 120, kTop = -40, kBottom = 60;
    constexpr size_t kWidth = kRight - kLeft, kSize = kWidth * (kBottom - kTop);
    using Model = std::vector<char>;
    const auto apply = [&](Model& m, const Rect& r, bool exclusive) {
        for (int32_t y = r.top; y < r.bottom; ++y) {
            for (int32_t x = r.left; x < r.right; ++x) {
                char& pixel = m[size_t(y - kTop) * kWidth + size_t(x - kLeft)];
                pixel = exclusive ? !pixel : 1;
            }
        }
    };
    std::mt19937 random(20240611);
    const auto coordinate = [&](int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(random);
    };
    for (int trial = 0; trial < 20; ++trial) {
        Region regions[2];
        Model models[2] = {Model(kSize, 0), Model(kSize, 0)};
        for (int step = 0; step < 150; ++step) {
            const int target = coordinate(0, 1), operation = coordinate(0, 10);
            Region &region = regions[target], &other = regions[1 - target];
            Model &model = models[target], &otherModel = models[1 - target];
            Rect rect{coordinate(kLeft, kRight), coordinate(kTop, kBottom),
                      coordinate(kLeft, kRight), coordinate(kTop, kBottom)};
            if (coordinate(0, 9) != 0) {  // mostly proper rectangles, some empty ones
                rect = Rect{std::min(rect.left, rect.right), std::min(rect.top, rect.bottom),
                            std::max(rect.left, rect.right), std::max(rect.top, rect.bottom)};
            }
            const bool exclusive = operation % 2 == 0;
            if (operation == 0) {
                region.Set(rect);
                model.assign(kSize, 0);
                apply(model, rect, false);
            } else if (operation <= 2) {
                exclusive ? region.ExclusiveOr(Region(rect)) : region.Unite(Region(rect));
                apply(model, rect, exclusive);
            } else if (operation <= 6) {
                if (operation <= 4) {
                    exclusive ? region.ExclusiveOr(other) : region.Unite(other);
                } else {
                    region = exclusive ? Region::SymmetricDifference(other, region)
                                       : Region::Union(other, region);
                }
                for (size_t i = 0; i < kSize; ++i)
                    model[i] = exclusive ? model[i] != otherModel[i] : model[i] || otherModel[i];
            } else if (operation <= 8) {
                // A copy of the other region or of itself.
                const Region& source = operation == 7 ? region : other;
                region = source;
                if (operation == 8)
                    model = otherModel;
            } else if (operation == 9) {
                region.Clear();
                model.assign(kSize, 0);
            } else {
                // Moved out and back; the moved-from region takes the copy.
                Region moved(std::move(region));
                region = moved;
            }
            SCOPED_TRACE(::testing::Message()
                         << "trial " << trial << ", step " << step << ", operation " << operation);
            ASSERT_TRUE(IsConsistent(region));
            // The rectangles cover the model's pixels, each once.
            Model covered(kSize, 0);
            for (const Rect& r : RectanglesOf(region)) {
                ASSERT_TRUE(!r.IsEmpty() && r.left >= kLeft && r.right <= kRight && r.top >= kTop &&
                            r.bottom <= kBottom);
                apply(covered, r, true);
            }
            ASSERT_EQ(covered, model);
            ASSERT_EQ(region.IsEmpty(), std::count(model.begin(), model.end(), 1) == 0);
        }
    }
}

}  // namespace
}  // namespace quil
