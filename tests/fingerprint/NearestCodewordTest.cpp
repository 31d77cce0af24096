#include "fingerprint/NearestCodeword.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "TestSignals.h"
#include "fingerprint/Codebooks.h"
#include "fingerprint/Quantiser.h"

namespace quil {
namespace {

uint8_t PlainNearest(const float* vector, const float* codebook) {
    uint8_t code = 0;
    double distance = 0;
    FindNearestCodewords(vector, codebook, 1, &code, &distance);
    return code;
}

// Every vector of `vectors` (kCodewordSize values each), one at a time and
// as a batch, by every path, against the exhaustive scan.
void ExpectPlainCodes(const float* codebook, const std::vector<float>& vectors, const char* what) {
    const int32_t count = static_cast<int32_t>(vectors.size() / kCodewordSize);
    std::vector<uint8_t> want(static_cast<size_t>(count));
    for (int32_t v = 0; v < count; ++v)
        want[v] = PlainNearest(vectors.data() + v * kCodewordSize, codebook);
    for (VectorInstructions instructions :
         {VectorInstructions::kBest, VectorInstructions::kBaseline}) {
        NearestCodeword nearest(codebook, instructions);
        std::vector<uint8_t> batch(static_cast<size_t>(count), 0);
        nearest.NearestBatch(vectors.data(), count, batch.data());
        int32_t wrong = 0;
        for (int32_t v = 0; v < count; ++v) {
            uint8_t single = nearest.Nearest(vectors.data() + v * kCodewordSize);
            if ((single != want[v] || batch[v] != want[v]) && ++wrong <= 3)
                ADD_FAILURE() << what << " vector " << v << ": " << int{single} << " and "
                              << int{batch[v]} << " instead of " << int{want[v]};
        }
        EXPECT_EQ(wrong, 0) << what << " of " << count;
    }
}

// Zero-mean rows like a segment's, of lengths spread evenly in logarithm
// over 0.05 to 5.
std::vector<float> RandomRows(int32_t count, uint64_t seed) {
    test::Noise noise(seed);
    std::vector<float> rows;
    for (int32_t r = 0; r < count; ++r) {
        float row[kCodewordSize];
        double mean = 0;
        for (float& value : row) {
            value = noise.Next(1.0f);
            mean += value / kCodewordSize;
        }
        double length = 0;
        for (float& value : row) {
            value = static_cast<float>(value - mean);
            length += static_cast<double>(value) * value;
        }
        double wanted = 0.05 * std::pow(100.0, (noise.Next(1.0f) + 1.0) / 2);
        for (float value : row)
            rows.push_back(static_cast<float>(value * wanted / std::sqrt(length)));
    }
    return rows;
}

const float* Word(const float* codebook, int32_t c) {
    return codebook + c * kCodewordSize;
}

TEST(NearestCodeword, RandomRowsAgainstTheEmbeddedCodebooks) {
    for (int32_t book = 0; book < 2; ++book)
        ExpectPlainCodes(Codebook(book), RandomRows(3000, 10 + book), "random rows");
}

TEST(NearestCodeword, CodewordsAndPointsHalfwayBetweenNeighbours) {
    // Each codeword itself (distance 0), and points on the segment to its
    // nearest neighbour at and around the middle, where the two distances
    // differ in the last places or not at all.
    test::Noise noise(3);
    for (int32_t book = 0; book < 2; ++book) {
        const float* words = Codebook(book);
        std::vector<float> vectors(words, words + kCodebookFloats);
        for (int32_t c = 0; c < kCodewords; ++c) {
            int32_t neighbour = -1;
            double closest = std::numeric_limits<double>::max();
            for (int32_t other = 0; other < kCodewords; ++other) {
                double distance = 0;
                for (int32_t i = 0; i < kCodewordSize; ++i) {
                    double d = static_cast<double>(Word(words, c)[i]) - Word(words, other)[i];
                    distance += d * d;
                }
                if (other != c && distance < closest) {
                    closest = distance;
                    neighbour = other;
                }
            }
            for (double t : {0.5, 0.5 + 1e-7, 0.5 - 1e-7, 0.5 + 1e-5, 0.5 + 1e-3}) {
                for (int32_t i = 0; i < kCodewordSize; ++i) {
                    double a = Word(words, c)[i];
                    double b = Word(words, neighbour)[i];
                    vectors.push_back(static_cast<float>(a + t * (b - a)) +
                                      (t == 0.5 ? 0.0f : noise.Next(1e-7f)));
                }
            }
        }
        ExpectPlainCodes(words, vectors, "codewords and halfway points");
    }
}

TEST(NearestCodeword, TiesGoToTheLowerCodeword) {
    // 16 distinct words, each repeated 16 times through the codebook: every
    // vector has 16 codewords at the least distance.
    std::vector<float> words = RandomRows(16, 5);
    std::vector<float> book(kCodebookFloats);
    for (int32_t c = 0; c < kCodewords; ++c) {
        for (int32_t i = 0; i < kCodewordSize; ++i)
            book[c * kCodewordSize + i] = words[(c * 7 % 16) * kCodewordSize + i];
    }
    std::vector<float> vectors = RandomRows(500, 6);
    vectors.insert(vectors.end(), words.begin(), words.end());
    ExpectPlainCodes(book.data(), vectors, "repeated words");

    // Constant codewords c mod 8 - 4 and constant vectors halfway between
    // two of them: exact ties at distance 64 x 0.25.
    for (int32_t c = 0; c < kCodewords; ++c) {
        for (int32_t i = 0; i < kCodewordSize; ++i)
            book[c * kCodewordSize + i] = static_cast<float>(c % 8) - 4.0f;
    }
    vectors.clear();
    for (float value : {-4.5f, -3.5f, -0.5f, 0.0f, 0.5f, 2.5f, 3.5f})
        vectors.insert(vectors.end(), kCodewordSize, value);
    ExpectPlainCodes(book.data(), vectors, "constant words");
}

TEST(NearestCodeword, VectorsAndCodebooksOutsideTheUsualRange) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> vectors;
    for (float value : {0.0f, 1e-30f, std::numeric_limits<float>::denorm_min(), 1e12f, 1e30f,
                        -3e38f, inf, -inf, nan}) {
        std::vector<float> row = RandomRows(1, 7);
        row[3] = value;
        vectors.insert(vectors.end(), row.begin(), row.end());
        vectors.insert(vectors.end(), kCodewordSize, value);
    }
    ExpectPlainCodes(Codebook(0), vectors, "unusual vectors");

    // A codebook with one very long codeword, and one that is not finite.
    std::vector<float> book(Codebook(1), Codebook(1) + kCodebookFloats);
    std::vector<float> rows = RandomRows(200, 8);
    book[40 * kCodewordSize + 5] = 1e20f;
    ExpectPlainCodes(book.data(), rows, "a long codeword");
    book[40 * kCodewordSize + 5] = nan;
    ExpectPlainCodes(book.data(), rows, "a codeword not finite");
}

}  // namespace
}  // namespace quil
