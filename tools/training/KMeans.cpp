#include "tools/training/KMeans.h"

#include <algorithm>
#include <limits>
#include <random>
#include <thread>

namespace quil {

namespace {

// Squared distance of two vectors; four partial sums keep the adds from
// waiting on each other. The order of the adds is fixed, so the result is
// the same on every run.
double Distance(const double* a, const double* b, size_t dim) {
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    size_t i = 0;
    for (; i + 4 <= dim; i += 4) {
        const double d0 = a[i] - b[i];
        const double d1 = a[i + 1] - b[i + 1];
        const double d2 = a[i + 2] - b[i + 2];
        const double d3 = a[i + 3] - b[i + 3];
        s0 += d0 * d0;
        s1 += d1 * d1;
        s2 += d2 * d2;
        s3 += d3 * d3;
    }
    for (; i < dim; ++i) {
        const double d = a[i] - b[i];
        s0 += d * d;
    }
    return (s0 + s1) + (s2 + s3);
}

// A uniform draw in [0, 1) from the 53 high bits; std::mt19937_64 is the
// same sequence everywhere, unlike the standard distributions.
double Uniform(std::mt19937_64& rng) {
    return static_cast<double>(rng() >> 11) * 0x1.0p-53;
}

struct Work {
    const std::vector<double>& points;
    const std::vector<double>& centroids;
    size_t dim;
    size_t k;
    std::vector<int32_t>& assignment;
    std::vector<double>& distance;
};

// Assigns points [begin, end) to their nearest centre (the lowest index on a
// tie); returns how many changed cluster.
size_t AssignRange(const Work& w, size_t begin, size_t end) {
    size_t changes = 0;
    for (size_t p = begin; p < end; ++p) {
        const double* point = &w.points[p * w.dim];
        double best = std::numeric_limits<double>::infinity();
        int32_t bestIndex = 0;
        for (size_t c = 0; c < w.k; ++c) {
            const double d = Distance(point, &w.centroids[c * w.dim], w.dim);
            if (d < best) {
                best = d;
                bestIndex = static_cast<int32_t>(c);
            }
        }
        if (w.assignment[p] != bestIndex) {
            w.assignment[p] = bestIndex;
            ++changes;
        }
        w.distance[p] = best;
    }
    return changes;
}

size_t Assign(const Work& w, size_t count, size_t threads) {
    threads = std::clamp<size_t>(threads, 1, std::max<size_t>(1, count / 256));
    if (threads == 1)
        return AssignRange(w, 0, count);
    std::vector<size_t> changes(threads, 0);
    std::vector<std::thread> workers;
    const size_t chunk = (count + threads - 1) / threads;
    for (size_t t = 1; t < threads; ++t) {
        const size_t begin = std::min(count, t * chunk);
        const size_t end = std::min(count, begin + chunk);
        workers.emplace_back(
            [&w, &changes, t, begin, end] { changes[t] = AssignRange(w, begin, end); });
    }
    changes[0] = AssignRange(w, 0, std::min(count, chunk));
    for (std::thread& worker : workers)
        worker.join();
    size_t total = 0;
    for (size_t c : changes)
        total += c;
    return total;
}

// k-means++: the first centre uniformly, each next one with probability
// proportional to its squared distance from the nearest centre chosen so
// far. A chosen point and its duplicates have distance 0 and are never
// drawn again, so the centres are distinct; false when the points run out
// of distinct values first.
bool Seed(const std::vector<double>& points, size_t count, size_t dim, size_t k,
          std::mt19937_64& rng, std::vector<double>& centroids) {
    std::vector<double> nearest(count, std::numeric_limits<double>::infinity());
    size_t chosen =
        std::min(count - 1, static_cast<size_t>(Uniform(rng) * static_cast<double>(count)));
    for (size_t c = 0;; ++c) {
        std::copy_n(&points[chosen * dim], dim, &centroids[c * dim]);
        if (c + 1 == k)
            return true;
        double total = 0;
        size_t lastPositive = count;
        for (size_t p = 0; p < count; ++p) {
            nearest[p] = std::min(nearest[p], Distance(&points[p * dim], &centroids[c * dim], dim));
            total += nearest[p];
            if (nearest[p] > 0)
                lastPositive = p;
        }
        if (lastPositive == count)
            return false;
        const double target = Uniform(rng) * total;
        double running = 0;
        chosen = lastPositive;
        for (size_t p = 0; p < count; ++p) {
            running += nearest[p];
            if (nearest[p] > 0 && running > target) {
                chosen = p;
                break;
            }
        }
    }
}

}  // namespace

int KMeans::Run(const float* points, size_t count, int32_t dim, const Options& options,
                Result& result) {
    if (options.k < 1 || dim < 1 || options.maxIterations < 1)
        return kBadArguments;
    const size_t k = static_cast<size_t>(options.k);
    const size_t d = static_cast<size_t>(dim);
    if (count < k)
        return kTooFewPoints;

    const std::vector<double> data(points, points + count * d);
    std::vector<double> centroids(k * d);
    std::mt19937_64 rng(options.seed);
    if (options.initialCentres)
        std::copy_n(options.initialCentres, k * d, centroids.begin());
    else if (!Seed(data, count, d, k, rng, centroids))
        return kTooFewPoints;

    std::vector<int32_t> assignment(count, -1);
    std::vector<double> distance(count, 0.0);
    const Work work{data, centroids, d, k, assignment, distance};
    const size_t threads = static_cast<size_t>(std::max(1, options.threads));

    std::vector<double> sums(k * d);
    std::vector<size_t> sizes(k);
    std::vector<char> taken(count);
    int32_t iterations = 0;
    int32_t reseeded = 0;
    bool converged = false;
    while (iterations < options.maxIterations) {
        ++iterations;
        if (Assign(work, count, threads) == 0) {
            // The centres are already the means of this assignment.
            converged = true;
            break;
        }
        std::fill(sums.begin(), sums.end(), 0.0);
        std::fill(sizes.begin(), sizes.end(), 0);
        for (size_t p = 0; p < count; ++p) {
            const size_t c = static_cast<size_t>(assignment[p]);
            ++sizes[c];
            for (size_t i = 0; i < d; ++i)
                sums[c * d + i] += data[p * d + i];
        }
        std::fill(taken.begin(), taken.end(), 0);
        for (size_t c = 0; c < k; ++c) {
            if (sizes[c] != 0)
                continue;
            // The farthest point whose own cluster keeps at least one other
            // member; there is one, as k <= count.
            size_t far = count;
            for (size_t p = 0; p < count; ++p) {
                if (taken[p] || sizes[static_cast<size_t>(assignment[p])] < 2)
                    continue;
                if (far == count || distance[p] > distance[far])
                    far = p;
            }
            if (far == count)
                break;
            const size_t from = static_cast<size_t>(assignment[far]);
            for (size_t i = 0; i < d; ++i) {
                sums[from * d + i] -= data[far * d + i];
                sums[c * d + i] = data[far * d + i];
            }
            --sizes[from];
            sizes[c] = 1;
            assignment[far] = static_cast<int32_t>(c);
            taken[far] = 1;
            ++reseeded;
        }
        for (size_t c = 0; c < k; ++c) {
            if (sizes[c] == 0)
                continue;
            for (size_t i = 0; i < d; ++i)
                centroids[c * d + i] = sums[c * d + i] / static_cast<double>(sizes[c]);
        }
    }
    if (!converged)
        Assign(work, count, threads);

    double total = 0;
    for (size_t p = 0; p < count; ++p)
        total += distance[p];
    result.centroids = std::move(centroids);
    result.assignment = std::move(assignment);
    result.iterations = iterations;
    result.converged = converged;
    result.reseeded = reseeded;
    result.meanDistortion = total / static_cast<double>(count);
    return 0;
}

}  // namespace quil
