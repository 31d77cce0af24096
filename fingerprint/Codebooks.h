#pragma once

#include <cstdint>

namespace quil {

// The two codebooks the identification server shares with the program,
// carried in the program's data (data/codebooks.bin, embedded at build time):
// codebook 0 then codebook 1, each kCodewords codewords of kCodewordSize
// single-precision values, codeword-major (codeword c, component i at
// c * kCodewordSize + i).
inline constexpr int32_t kCodebookCount = 2;
inline constexpr int32_t kCodewords = 256;
inline constexpr int32_t kCodewordSize = 64;
inline constexpr int32_t kCodebookFloats = kCodewords * kCodewordSize;
inline constexpr int32_t kCodebookTableBytes = kCodebookCount * kCodebookFloats * 4;

// The whole table, kCodebookCount * kCodebookFloats values, decoded from the
// embedded little-endian bytes on first use; lives for the whole run.
const float* CodebookTable();

// Codebook `index` (0 or 1) inside CodebookTable(); null for another index.
const float* Codebook(int32_t index);

// Size in bytes of the embedded file the table was decoded from.
int64_t EmbeddedCodebookBytes();

}  // namespace quil
