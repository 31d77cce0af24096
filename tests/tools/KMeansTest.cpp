#include "tools/training/KMeans.h"

#include <gtest/gtest.h>

#include <vector>

namespace quil {
namespace {

constexpr int32_t kDim = 16;

TEST(KMeans, ReseedsAnEmptyClusterFromTheFarthestPoint) {
    // Two groups on a line and a starting centre far from both: it wins no
    // point and takes the farthest one, the first of four at distance 1. One
    // Lloyd iteration already gives the final centres.
    const std::vector<float> points{0, 1, 2, 10, 11, 12};
    const double start[] = {1, 11, 100};
    for (const int32_t maxIterations : {1, 200}) {
        KMeans::Options options;
        options.k = 3;
        options.initialCentres = start;
        options.maxIterations = maxIterations;
        KMeans::Result result;
        ASSERT_EQ(KMeans::Run(points.data(), points.size(), 1, options, result), 0);
        EXPECT_EQ(result.centroids, (std::vector<double>{1.5, 11, 0})) << maxIterations;
        EXPECT_EQ(result.assignment, (std::vector<int32_t>{2, 0, 0, 1, 1, 1})) << maxIterations;
    }
}

TEST(KMeans, RefusesTooFewDistinctPoints) {
    // 300 points but only 10 distinct values.
    std::vector<float> points;
    for (int i = 0; i < 300; ++i)
        for (int d = 0; d < kDim; ++d)
            points.push_back(static_cast<float>(i % 10 + d));
    struct Case {
        int32_t k;
        size_t count;
        int result;
    };
    for (const Case& c :
         {Case{16, 300, KMeans::kTooFewPoints}, {16, 8, KMeans::kTooFewPoints}, {10, 300, 0}}) {
        KMeans::Options options;
        options.k = c.k;
        KMeans::Result result;
        EXPECT_EQ(KMeans::Run(points.data(), c.count, kDim, options, result), c.result) << c.k;
        EXPECT_TRUE(c.result != 0 || result.meanDistortion == 0.0);
    }
}

}  // namespace
}  // namespace quil
