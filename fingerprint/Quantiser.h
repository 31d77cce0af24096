#pragma once

#include <cstdint>

namespace quil {

// Finds the m codewords nearest to `vector` (64 values) among the 256 of
// `codebook` (256 x 64 values, codeword-major) by squared Euclidean
// distance, nearest first; among equal distances the lower codeword number
// comes first. Writes m codeword numbers to `codes` and m squared distances
// to `distances`; when m exceeds 256 the positions after the 256th keep code
// 0 and the largest finite double. Nothing is written when m < 1.
void FindNearestCodewords(const float* vector, const float* codebook, int32_t m, uint8_t* codes,
                          double* distances);

// Quantises the 4 rows of a segment: row 0 against codebook 0, rows 1 to 3
// against codebook 1 of `table` (2 x 256 x 64 values, as CodebookTable()).
// Candidate j of row r goes to codes[r * m + j] and distances[r * m + j];
// both buffers hold 4 x m entries and belong to the caller.
void QuantiseSegment(const float* table, const float (*rows)[64], int32_t m, uint8_t* codes,
                     double* distances);

// The same against the program's embedded codebooks.
void QuantiseSegment(const float (*rows)[64], int32_t m, uint8_t* codes, double* distances);

}  // namespace quil
