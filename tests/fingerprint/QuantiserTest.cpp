#include "fingerprint/Quantiser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "TestSignals.h"
#include "fingerprint/Codebooks.h"

namespace quil {
namespace {

constexpr double kMaxDouble = std::numeric_limits<double>::max();

// A codebook whose codeword c has every component equal to `values[c]`.
std::vector<float> ConstantBook(const std::vector<float>& values) {
    std::vector<float> book(kCodebookFloats, 0.0f);
    for (int32_t c = 0; c < kCodewords; ++c)
        std::fill_n(book.begin() + c * kCodewordSize, kCodewordSize, values[c]);
    return book;
}

double SquaredLength(const float* word) {
    double sum = 0;
    for (int32_t i = 0; i < kCodewordSize; ++i)
        sum += static_cast<double>(word[i]) * word[i];
    return sum;
}

TEST(Quantiser, NearestFirstAndTiesKeepTheLowerCodeword) {
    // Codeword c is the constant (c mod 8) - 4: several codewords at each
    // distance from the zero vector.
    std::vector<float> values(kCodewords);
    for (int32_t c = 0; c < kCodewords; ++c)
        values[c] = static_cast<float>(c % 8) - 4.0f;
    std::vector<float> book = ConstantBook(values);
    float zero[kCodewordSize] = {};
    uint8_t codes[6];
    double distances[6];
    FindNearestCodewords(zero, book.data(), 6, codes, distances);
    // |value| 0: c = 4, 12, 20...; |value| 1: c = 3, 5, 11, 13...
    const uint8_t wantCodes[6] = {4, 12, 20, 28, 36, 44};
    for (int32_t j = 0; j < 6; ++j) {
        EXPECT_EQ(codes[j], wantCodes[j]);
        EXPECT_EQ(distances[j], 0.0);
    }
    float one[kCodewordSize];
    std::fill_n(one, kCodewordSize, 0.5f);  // equally far from 0 and 1
    FindNearestCodewords(one, book.data(), 4, codes, distances);
    const uint8_t wantHalf[4] = {4, 5, 12, 13};
    for (int32_t j = 0; j < 4; ++j) {
        EXPECT_EQ(codes[j], wantHalf[j]);
        EXPECT_DOUBLE_EQ(distances[j], 64 * 0.25);
    }

    uint8_t single;
    double distance;
    FindNearestCodewords(one, book.data(), 1, &single, &distance);
    EXPECT_EQ(single, 4);
    EXPECT_DOUBLE_EQ(distance, 16.0);
}

TEST(Quantiser, MoreCandidatesThanCodewordsKeepTheTailEmpty) {
    const float* book = Codebook(1);
    test::Noise noise(5);
    float row[kCodewordSize];
    for (float& value : row)
        value = noise.Next(1.0f);
    std::vector<uint8_t> codes(300, 77);
    std::vector<double> distances(300, -1.0);
    FindNearestCodewords(row, book, 300, codes.data(), distances.data());
    std::vector<bool> seen(kCodewords, false);
    for (int32_t j = 0; j < kCodewords; ++j) {
        EXPECT_FALSE(seen[codes[j]]);
        seen[codes[j]] = true;
        if (j > 0) {
            EXPECT_LE(distances[j - 1], distances[j]);
        }
        double want = 0;
        for (int32_t i = 0; i < kCodewordSize; ++i) {
            double d = static_cast<double>(row[i]) - book[codes[j] * kCodewordSize + i];
            want += d * d;
        }
        EXPECT_EQ(distances[j], want);
    }
    for (int32_t j = kCodewords; j < 300; ++j) {
        EXPECT_EQ(codes[j], 0);
        EXPECT_EQ(distances[j], kMaxDouble);
    }
}

TEST(Quantiser, ARowEqualToACodewordFindsItAtDistanceZero) {
    for (int32_t book = 0; book < 2; ++book) {
        for (int32_t c : {0, 1, 77, 255}) {
            const float* word = Codebook(book) + c * kCodewordSize;
            uint8_t codes[3];
            double distances[3];
            FindNearestCodewords(word, Codebook(book), 3, codes, distances);
            EXPECT_EQ(codes[0], c);
            EXPECT_EQ(distances[0], 0.0);
            EXPECT_GT(distances[1], 0.0);
        }
    }
}

TEST(Quantiser, AZeroRowListsCodewordsByLength) {
    for (int32_t book = 0; book < 2; ++book) {
        const float* words = Codebook(book);
        std::vector<int32_t> order(kCodewords);
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
            return SquaredLength(words + a * kCodewordSize) <
                   SquaredLength(words + b * kCodewordSize);
        });
        float zero[kCodewordSize] = {};
        uint8_t codes[kCodewords];
        double distances[kCodewords];
        FindNearestCodewords(zero, words, kCodewords, codes, distances);
        for (int32_t j = 0; j < kCodewords; ++j) {
            EXPECT_EQ(codes[j], order[j]) << j;
            EXPECT_EQ(distances[j], SquaredLength(words + order[j] * kCodewordSize));
        }
    }
}

TEST(Quantiser, SegmentUsesBookZeroForRowZeroAndBookOneForTheRest) {
    test::Noise noise(11);
    float rows[4][64];
    for (float& value : rows[0])
        value = noise.Next(0.8f);
    for (int32_t r = 1; r < 4; ++r)
        std::copy_n(rows[0], 64, rows[r]);
    const int32_t m = 5;
    uint8_t codes[4 * m];
    double distances[4 * m];
    QuantiseSegment(rows, m, codes, distances);

    uint8_t want[2][m];
    double wantDistances[2][m];
    FindNearestCodewords(rows[0], Codebook(0), m, want[0], wantDistances[0]);
    FindNearestCodewords(rows[0], Codebook(1), m, want[1], wantDistances[1]);
    for (int32_t r = 0; r < 4; ++r) {
        for (int32_t j = 0; j < m; ++j) {
            EXPECT_EQ(codes[r * m + j], want[r == 0 ? 0 : 1][j]);
            EXPECT_EQ(distances[r * m + j], wantDistances[r == 0 ? 0 : 1][j]);
        }
    }
    // Different books: the same values give different codes in row 0.
    EXPECT_FALSE(std::equal(codes, codes + m, codes + m));

    // An explicit table: a book 1 that is book 0 makes all rows alike.
    std::vector<float> table(2 * kCodebookFloats);
    std::copy_n(Codebook(0), kCodebookFloats, table.begin());
    std::copy_n(Codebook(0), kCodebookFloats, table.begin() + kCodebookFloats);
    QuantiseSegment(table.data(), rows, m, codes, distances);
    for (int32_t r = 1; r < 4; ++r)
        EXPECT_TRUE(std::equal(codes, codes + m, codes + r * m));
}

TEST(Quantiser, NoCandidatesWritesNothing) {
    uint8_t code = 9;
    double distance = 3;
    float zero[kCodewordSize] = {};
    FindNearestCodewords(zero, Codebook(0), 0, &code, &distance);
    FindNearestCodewords(zero, Codebook(0), -4, &code, &distance);
    EXPECT_EQ(code, 9);
    EXPECT_EQ(distance, 3);
}

TEST(Codebooks, EmbeddedTableHasTheSharedLayout) {
    EXPECT_EQ(EmbeddedCodebookBytes(), kCodebookTableBytes);
    EXPECT_EQ(kCodebookTableBytes, 131072);
    EXPECT_EQ(Codebook(0), CodebookTable());
    EXPECT_EQ(Codebook(1), CodebookTable() + kCodebookFloats);
    EXPECT_EQ(Codebook(2), nullptr);
    EXPECT_EQ(Codebook(-1), nullptr);
    for (int32_t book = 0; book < 2; ++book) {
        const float* words = Codebook(book);
        std::vector<std::vector<float>> distinct;
        for (int32_t c = 0; c < kCodewords; ++c) {
            const float* word = words + c * kCodewordSize;
            double sum = 0;
            for (int32_t i = 0; i < kCodewordSize; ++i) {
                ASSERT_TRUE(std::isfinite(word[i])) << book << " " << c << " " << i;
                sum += word[i];
            }
            EXPECT_LT(std::abs(sum), 2e-5) << book << " " << c;
            double length = std::sqrt(SquaredLength(word));
            EXPECT_GT(length, 0.0) << book << " " << c;
            distinct.emplace_back(word, word + kCodewordSize);
        }
        std::sort(distinct.begin(), distinct.end());
        EXPECT_EQ(std::adjacent_find(distinct.begin(), distinct.end()), distinct.end()) << book;
    }
}

}  // namespace
}  // namespace quil
