#include "server/FrameSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace quil {
namespace {

// The radix sort against the plain sort, over value ranges that need one,
// two and three digits, with and without repeats.
TEST(FrameSortTest, MatchesSortAndUnique) {
    const std::pair<uint32_t, size_t> cases[] = {
        {0, 5},   {1, 100}, {2047, 3000}, {2048, 3000}, {900000, 50000}, {0xFFFFFFFFu, 20000},
        {5000, 0}};
    std::mt19937 random(7);
    std::vector<uint32_t> scratch;
    for (const auto& [largest, count] : cases) {
        std::uniform_int_distribution<uint32_t> value(0, largest);
        std::vector<uint32_t> frames(count);
        for (uint32_t& frame : frames)
            frame = value(random);
        std::vector<uint32_t> expected = frames;
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        SortUniqueFrames(frames, scratch, largest);
        EXPECT_EQ(frames, expected) << "largest " << largest << ", count " << count;
    }
}

}  // namespace
}  // namespace quil
