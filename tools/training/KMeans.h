#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quil {

// k-means clustering under squared Euclidean distance, for building
// codebooks: k-means++ seeding, then Lloyd iterations until no point changes
// cluster or the iteration limit is reached. A cluster left empty is
// re-seeded with the point farthest from its own centre (taken out of its
// cluster). Arithmetic is in double; results depend only on the points, the
// options and the seed, not on the number of threads.
class KMeans {
  public:
    struct Options {
        int32_t k = 256;
        int32_t maxIterations = 200;  // Lloyd iterations at most (at least 1)
        uint64_t seed = 1;            // seeds the k-means++ draws
        int32_t threads = 1;          // workers for the assignment step
        // When given, k x dim starting centres (centre after centre, read
        // during the call) replace the k-means++ seeding.
        const double* initialCentres = nullptr;
    };

    struct Result {
        // k centres of `dim` values each, centre after centre.
        std::vector<double> centroids;
        // The cluster of every point under the final centres.
        std::vector<int32_t> assignment;
        int32_t iterations = 0;  // Lloyd iterations run
        bool converged = false;  // the last iteration moved no point
        int32_t reseeded = 0;    // empty clusters re-seeded, over all iterations
        // Mean squared distance of a point to its nearest final centre.
        double meanDistortion = 0;
    };

    static constexpr int kBadArguments = -1;  // k < 1, dim < 1 or maxIterations < 1
    static constexpr int kTooFewPoints = -2;  // fewer than k distinct points

    // Clusters `count` points of `dim` floats each, point after point; the
    // points are only read during the call. 0 on success, with `result`
    // filled; otherwise one of the codes above and `result` untouched.
    static int Run(const float* points, size_t count, int32_t dim, const Options& options,
                   Result& result);
};

}  // namespace quil
