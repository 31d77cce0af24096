#include "tools/training/CodebookTrainer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace quil {

namespace {

constexpr size_t kDim = CodebookTrainer::kDimensions;

// Shifts the 64 values at `v` so that they sum to zero; the mean is taken
// in double, so what is left is float rounding only.
void Recentre(float* v) {
    double sum = 0;
    for (size_t i = 0; i < kDim; ++i)
        sum += v[i];
    const double mean = sum / kDim;
    for (size_t i = 0; i < kDim; ++i)
        v[i] = static_cast<float>(v[i] - mean);
}

double Distance(const float* a, const float* b) {
    double sum = 0;
    for (size_t i = 0; i < kDim; ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    return sum;
}

}  // namespace

void CodebookTrainer::AddSegment(const Segment& segment) {
    rows_[0].insert(rows_[0].end(), segment.rows[0], segment.rows[0] + kDim);
    for (int r = 1; r < 4; ++r)
        rows_[1].insert(rows_[1].end(), segment.rows[r], segment.rows[r] + kDim);
}

int CodebookTrainer::Sink(void* trainer, const Segment& segment) {
    static_cast<CodebookTrainer*>(trainer)->AddSegment(segment);
    return 0;
}

int CodebookTrainer::FinishCodebook(const std::vector<double>& centres,
                                    const std::vector<float>& rows, float* out) {
    const size_t count = rows.size() / kDim;
    int replaced = 0;
    for (size_t c = 0; c < size_t{kCodewords}; ++c) {
        float* word = out + c * kDim;
        for (size_t i = 0; i < kDim; ++i)
            word[i] = static_cast<float>(centres[c * kDim + i]);
        Recentre(word);
        bool duplicate = false;
        for (size_t e = 0; e < c && !duplicate; ++e)
            duplicate = std::memcmp(word, out + e * kDim, kDim * sizeof(float)) == 0;
        if (!duplicate)
            continue;
        // The row farthest from its nearest codeword so far equals none of
        // them (its distance is positive), and fills the gap best.
        size_t far = count;
        double farDistance = 0;
        std::vector<float> candidate(kDim);
        for (size_t p = 0; p < count; ++p) {
            std::copy_n(&rows[p * kDim], kDim, candidate.data());
            Recentre(candidate.data());
            double nearest = std::numeric_limits<double>::infinity();
            for (size_t e = 0; e < c; ++e)
                nearest = std::min(nearest, Distance(candidate.data(), out + e * kDim));
            if (nearest > farDistance) {
                farDistance = nearest;
                far = p;
            }
        }
        if (far == count)
            return kTooFewRows;
        std::copy_n(&rows[far * kDim], kDim, word);
        Recentre(word);
        ++replaced;
    }
    return replaced;
}

int CodebookTrainer::Train(const Options& options, std::vector<float>& table,
                           Figures figures[2]) const {
    table.assign(2 * kBookFloats, 0.0f);
    for (int book = 0; book < 2; ++book) {
        const std::vector<float>& rows = rows_[book];
        KMeans::Options km;
        km.k = kCodewords;
        km.maxIterations = options.maxIterations;
        km.seed = options.seed + static_cast<uint64_t>(book);
        km.threads = options.threads;
        KMeans::Result result;
        if (KMeans::Run(rows.data(), rows.size() / kDim, kDimensions, km, result) != 0)
            return kTooFewRows;
        const int replaced = FinishCodebook(result.centroids, rows,
                                            table.data() + static_cast<size_t>(book) * kBookFloats);
        if (replaced < 0)
            return replaced;
        Figures& f = figures[book];
        f.rows = rows.size() / kDim;
        f.iterations = result.iterations;
        f.converged = result.converged;
        f.reseeded = result.reseeded;
        f.replaced = replaced;
        // Measured against the finished codewords, which is what the
        // quantiser will search.
        double total = 0;
        const float* words = table.data() + static_cast<size_t>(book) * kBookFloats;
        for (size_t p = 0; p < f.rows; ++p) {
            double nearest = std::numeric_limits<double>::infinity();
            for (size_t c = 0; c < size_t{kCodewords}; ++c)
                nearest = std::min(nearest, Distance(&rows[p * kDim], words + c * kDim));
            total += nearest;
        }
        f.meanDistortion = total / static_cast<double>(f.rows);
    }
    return 0;
}

CodebookTrainer::Stats CodebookTrainer::Measure(const float* book) {
    Stats s;
    s.shortest = std::numeric_limits<double>::infinity();
    s.lowest = std::numeric_limits<float>::infinity();
    s.highest = -std::numeric_limits<float>::infinity();
    s.distinct = true;
    for (size_t c = 0; c < size_t{kCodewords}; ++c) {
        const float* word = book + c * kDim;
        double sum = 0;
        double square = 0;
        for (size_t i = 0; i < kDim; ++i) {
            sum += word[i];
            square += static_cast<double>(word[i]) * word[i];
            s.lowest = std::min(s.lowest, word[i]);
            s.highest = std::max(s.highest, word[i]);
        }
        s.largestSum = std::max(s.largestSum, std::abs(sum));
        s.shortest = std::min(s.shortest, std::sqrt(square));
        s.longest = std::max(s.longest, std::sqrt(square));
        for (size_t e = 0; e < c; ++e) {
            if (std::memcmp(word, book + e * kDim, kDim * sizeof(float)) == 0)
                s.distinct = false;
        }
    }
    return s;
}

int CodebookTrainer::WriteTable(const std::string& path, const std::vector<float>& table) {
    if (table.size() != 2 * kBookFloats)
        return kWriteFailed;
    std::vector<unsigned char> bytes(kTableBytes);
    for (size_t i = 0; i < table.size(); ++i) {
        const uint32_t bits = std::bit_cast<uint32_t>(table[i]);
        for (size_t b = 0; b < 4; ++b)
            bytes[i * 4 + b] = static_cast<unsigned char>(bits >> (8 * b));
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return kWriteFailed;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    return written && closed ? 0 : kWriteFailed;
}

}  // namespace quil
