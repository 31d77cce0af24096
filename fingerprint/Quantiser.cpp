#include "fingerprint/Quantiser.h"

#include <cstddef>
#include <limits>

#include "fingerprint/Codebooks.h"

namespace quil {

void FindNearestCodewords(const float* vector, const float* codebook, int32_t m, uint8_t* codes,
                          double* distances) {
    if (m < 1)
        return;
    for (int32_t j = 0; j < m; ++j) {
        codes[j] = 0;
        distances[j] = std::numeric_limits<double>::max();
    }
    for (int32_t c = 0; c < kCodewords; ++c) {
        const float* word = codebook + static_cast<size_t>(c) * kCodewordSize;
        double distance = 0;
        for (int32_t i = 0; i < kCodewordSize; ++i) {
            double difference = static_cast<double>(vector[i]) - word[i];
            distance += difference * difference;
        }
        // The first strictly larger entry takes the codeword, so equal
        // distances keep the lower codeword number in front.
        int32_t position = 0;
        while (position < m && !(distance < distances[position]))
            ++position;
        if (position == m)
            continue;
        for (int32_t j = m - 1; j > position; --j) {
            codes[j] = codes[j - 1];
            distances[j] = distances[j - 1];
        }
        codes[position] = static_cast<uint8_t>(c);
        distances[position] = distance;
    }
}

void QuantiseSegment(const float* table, const float (*rows)[64], int32_t m, uint8_t* codes,
                     double* distances) {
    if (m < 1)
        return;
    for (int32_t row = 0; row < 4; ++row) {
        const float* codebook = table + (row == 0 ? 0 : kCodebookFloats);
        size_t offset = static_cast<size_t>(row) * static_cast<size_t>(m);
        FindNearestCodewords(rows[row], codebook, m, codes + offset, distances + offset);
    }
}

void QuantiseSegment(const float (*rows)[64], int32_t m, uint8_t* codes, double* distances) {
    QuantiseSegment(CodebookTable(), rows, m, codes, distances);
}

}  // namespace quil
