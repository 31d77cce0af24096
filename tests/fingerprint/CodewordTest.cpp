// The nearest codewords: the plain search against a full sort, the fast
// search against the plain one, and the embedded books against their file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "TestSignals.h"
#include "fingerprint/Codebooks.h"
#include "fingerprint/NearestCodeword.h"
#include "fingerprint/Quantiser.h"

namespace quil {
namespace {

constexpr double kMax = std::numeric_limits<double>::max();

// The m nearest of the 256 codewords by a full sort of (squared distance in
// double, component by component; codeword): ties go to the lower codeword,
// distances not below the largest double are left out, and the places past
// the end hold code 0 at the largest double.
std::vector<std::pair<double, int32_t>> PlainNearest(const float* vector, const float* book,
                                                     int32_t m) {
    std::vector<std::pair<double, int32_t>> all;
    for (int32_t c = 0; c < 256; ++c) {
        double distance = 0;
        for (int32_t i = 0; i < 64; ++i) {
            double difference = static_cast<double>(vector[i]) - book[c * 64 + i];
            distance += difference * difference;
        }
        if (distance < kMax)
            all.emplace_back(distance, c);
    }
    std::sort(all.begin(), all.end());
    all.resize(static_cast<size_t>(m), {kMax, 0});
    return all;
}

// Zero-mean rows like a segment's, of lengths spread evenly in logarithm
// over 0.05 to 5.
std::vector<float> RandomRows(int32_t count, uint64_t seed) {
    test::Noise noise(seed);
    std::vector<float> rows(64 * static_cast<size_t>(count));
    for (int32_t r = 0; r < count; ++r) {
        float* row = &rows[64 * r];
        double mean = 0;
        double length = 0;
        for (int32_t i = 0; i < 64; ++i)
            mean += (row[i] = noise.Next(1.0f)) / 64.0;
        for (int32_t i = 0; i < 64; ++i) {
            row[i] = static_cast<float>(row[i] - mean);
            length += static_cast<double>(row[i]) * row[i];
        }
        const double scale =
            0.05 * std::pow(100.0, (noise.Next(1.0f) + 1.0) / 2) / std::sqrt(length);
        for (int32_t i = 0; i < 64; ++i)
            row[i] = static_cast<float>(row[i] * scale);
    }
    return rows;
}

struct Case {
    std::string name;
    std::vector<float> book;     // 256 x 64
    std::vector<float> vectors;  // 64 each
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    test::Noise noise(3);
    for (int32_t b = 0; b < 2; ++b) {
        const std::vector<float> book(Codebook(b), Codebook(b) + 256 * 64);
        cases.push_back({"random rows, book " + std::to_string(b), book, RandomRows(3000, 10 + b)});
        // Each codeword (distance 0), and points on the segment to its
        // nearest neighbour at and around the middle, where the two
        // distances differ in the last places or not at all.
        cases.push_back({"codewords and halfway points, book " + std::to_string(b), book, book});
        for (int32_t c = 0; c < 256; ++c) {
            const float* word = &book[c * 64];
            const float* other = &book[PlainNearest(word, book.data(), 2)[1].second * 64];
            for (double t : {0.5, 0.5 + 1e-7, 0.5 - 1e-7, 0.5 + 1e-5, 0.5 + 1e-3}) {
                for (int32_t i = 0; i < 64; ++i)
                    cases.back().vectors.push_back(
                        static_cast<float>(word[i] + t * (other[i] - word[i])) +
                        (t == 0.5 ? 0.0f : noise.Next(1e-7f)));
            }
        }
    }
    // One unusual component, or all of them.
    cases.push_back({"unusual vectors", cases[0].book, {}});
    const float inf = std::numeric_limits<float>::infinity();
    for (float value : {0.0f, 1e-30f, 1e-45f, 1e12f, 1e30f, -3e38f, inf, -inf, NAN}) {
        std::vector<float> row = RandomRows(1, 7);
        row[3] = value;
        row.insert(row.end(), 64, value);
        cases.back().vectors.insert(cases.back().vectors.end(), row.begin(), row.end());
    }
    // A book with one very long codeword.
    cases.push_back({"a long codeword", cases[2].book, RandomRows(200, 8)});
    cases.back().book[40 * 64 + 5] = 1e20f;
    return cases;
}

TEST(Codewords, EverySearchAsThePlainOne) {
    // The m nearest with m = 1, 4 and 300 in turn; the nearest alone, one
    // vector at a time and in batches, on every path.
    const int32_t candidates[] = {1, 4, 300};
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const int32_t count = static_cast<int32_t>(c.vectors.size() / 64);
        std::vector<uint8_t> nearest(count);
        for (int32_t v = 0; v < count; ++v) {
            const float* vector = &c.vectors[v * 64];
            const int32_t m = candidates[v % 3];
            std::vector<uint8_t> codes(m + 1, 77);  // and a place past the m that must stay
            std::vector<double> distances(m + 1, -1.0);
            FindNearestCodewords(vector, c.book.data(), m, codes.data(), distances.data());
            ASSERT_TRUE(codes[m] == 77 && distances[m] == -1.0) << "written past the end";
            std::vector<std::pair<double, int32_t>> found;
            for (int32_t j = 0; j < m; ++j)
                found.emplace_back(distances[j], codes[j]);
            ASSERT_EQ(found, PlainNearest(vector, c.book.data(), m))
                << "vector " << v << ", m " << m;
            nearest[v] = codes[0];
        }
        for (auto instructions : {VectorInstructions::kBest, VectorInstructions::kBaseline}) {
            SCOPED_TRACE(instructions == VectorInstructions::kBest ? "best" : "baseline");
            const NearestCodeword search(c.book.data(), instructions);
            std::vector<uint8_t> batch(count);
            search.NearestBatch(c.vectors.data(), count, batch.data());
            EXPECT_EQ(batch, nearest);
            for (int32_t v = 0; v < count; ++v)
                ASSERT_EQ(search.Nearest(&c.vectors[v * 64]), nearest[v]) << "vector " << v;
        }
    }
}

TEST(Codebooks, TheEmbeddedTableIsTheDataFile) {
    std::ifstream file(HARKBOX_SOURCE_DIR "/data/codebooks.bin", std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    ASSERT_EQ(bytes.size(), 2u * 256 * 64 * 4);
    EXPECT_EQ(std::memcmp(CodebookTable(), bytes.data(), bytes.size()), 0);  // a little-endian host
}

}  // namespace
}  // namespace quil
