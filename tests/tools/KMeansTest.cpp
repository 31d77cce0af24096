#include "tools/training/KMeans.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

namespace quil {
namespace {

constexpr int32_t kDim = 16;

TEST(KMeans, FindsSeparatedClustersReproducibly) {
    // 13 well separated centres with 41 points around each, interleaved: 533
    // points, which the assignment step splits, unevenly, among up to two
    // workers (one per 256 points).
    constexpr int kClusters = 13;
    std::mt19937 rng(99);
    std::normal_distribution<double> wide(0.0, 10.0), narrow(0.0, 0.3);
    std::vector<double> centres(kClusters * kDim);
    for (double& c : centres)
        c = wide(rng);
    std::vector<float> points;
    std::vector<int> truth;
    for (int i = 0; i < 41 * kClusters; ++i) {
        for (int d = 0; d < kDim; ++d)
            points.push_back(static_cast<float>(centres[(i % kClusters) * kDim + d] + narrow(rng)));
        truth.push_back(i % kClusters);
    }
    const size_t count = truth.size();

    KMeans::Options options;
    options.k = kClusters;
    options.seed = 7;
    KMeans::Result result;
    ASSERT_EQ(KMeans::Run(points.data(), count, kDim, options, result), 0);
    EXPECT_TRUE(result.converged);
    EXPECT_GE(result.iterations, 2);
    ASSERT_EQ(result.centroids.size(), size_t{kClusters} * kDim);

    // Every found cluster is exactly one true cluster.
    std::vector<int> found(kClusters, -1);
    for (size_t p = 0; p < count; ++p) {
        int& f = found[static_cast<size_t>(result.assignment[p])];
        if (f == -1)
            f = truth[p];
        ASSERT_EQ(f, truth[p]) << "point " << p;
    }
    EXPECT_EQ(std::set<int>(found.begin(), found.end()).size(), size_t{kClusters});
    // Each centre lies near its true centre: distortion is about the noise,
    // 16 dimensions x 0.3^2.
    EXPECT_NEAR(result.meanDistortion, kDim * 0.09, 0.3);

    // Same seed, same answer, whatever the number of threads.
    for (const int threads : {1, 2, 3}) {
        KMeans::Options again = options;
        again.threads = threads;
        KMeans::Result other;
        ASSERT_EQ(KMeans::Run(points.data(), count, kDim, again, other), 0);
        EXPECT_TRUE(other.centroids == result.centroids && other.assignment == result.assignment &&
                    other.iterations == result.iterations)
            << threads;
    }
}

TEST(KMeans, OverlappingDataGivesDistinctCentresAndStopsAtTheLimit) {
    std::mt19937 rng(5);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> points(3000 * kDim);
    for (float& v : points)
        v = noise(rng);
    KMeans::Options options;
    options.k = 64;
    options.maxIterations = 3;
    KMeans::Result result;
    ASSERT_EQ(KMeans::Run(points.data(), 3000, kDim, options, result), 0);
    EXPECT_TRUE(result.iterations == 3 && !result.converged);
    std::set<std::vector<double>> unique;
    for (auto c = result.centroids.begin(); c != result.centroids.end(); c += kDim)
        unique.emplace(c, c + kDim);
    EXPECT_EQ(unique.size(), 64u);
    // A different seed starts elsewhere.
    options.seed = 2;
    KMeans::Result other;
    ASSERT_EQ(KMeans::Run(points.data(), 3000, kDim, options, other), 0);
    EXPECT_NE(other.centroids, result.centroids);
}

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
        EXPECT_EQ(result.reseeded, 1) << maxIterations;
        EXPECT_EQ(result.converged, maxIterations > 1) << maxIterations;
        EXPECT_EQ(result.centroids, (std::vector<double>{1.5, 11, 0})) << maxIterations;
        EXPECT_EQ(result.assignment, (std::vector<int32_t>{2, 0, 0, 1, 1, 1})) << maxIterations;
    }
}

TEST(KMeans, RefusesTooFewDistinctPointsAndBadArguments) {
    // 300 points but only 10 distinct values.
    std::vector<float> points;
    for (int i = 0; i < 300; ++i)
        for (int d = 0; d < kDim; ++d)
            points.push_back(static_cast<float>(i % 10 + d));
    struct Case {
        int32_t k;
        size_t count;
        int32_t dim;
        int32_t maxIterations;
        int result;
    };
    for (const Case& c : {Case{16, 300, kDim, 200, KMeans::kTooFewPoints},
                          {16, 8, kDim, 200, KMeans::kTooFewPoints},
                          {10, 300, kDim, 200, 0},
                          {0, 300, kDim, 200, KMeans::kBadArguments},
                          {4, 300, kDim, 0, KMeans::kBadArguments},
                          {4, 300, 0, 5, KMeans::kBadArguments}}) {
        KMeans::Options options;
        options.k = c.k;
        options.maxIterations = c.maxIterations;
        KMeans::Result result;
        EXPECT_EQ(KMeans::Run(points.data(), c.count, c.dim, options, result), c.result)
            << c.k << " " << c.count << " " << c.dim << " " << c.maxIterations;
        EXPECT_TRUE(c.result != 0 || result.meanDistortion == 0.0);
    }
}

}  // namespace
}  // namespace quil
