#pragma once

#include <cstdint>
#include <memory>

#include "fingerprint/Codebooks.h"
#include "fingerprint/VectorInstructions.h"

namespace quil {

// The nearest codeword of one codebook, for indexing whole catalogues: for
// every vector the code FindNearestCodewords(vector, codebook, 1, ...)
// gives, ties to the lower codeword number, at a small part of its cost.
// Distances are first estimated in single precision for all codewords; only
// those whose estimate could be the least are measured again exactly, as
// FindNearestCodewords measures them. The object keeps its own copy of the
// codebook and may be shared between threads.
class NearestCodeword {
  public:
    // `codebook`: kCodewords x kCodewordSize values, codeword-major.
    explicit NearestCodeword(const float* codebook,
                             VectorInstructions instructions = VectorInstructions::kBest);
    ~NearestCodeword();
    NearestCodeword(const NearestCodeword&) = delete;
    NearestCodeword& operator=(const NearestCodeword&) = delete;

    // The nearest codeword to `vector` (kCodewordSize values).
    uint8_t Nearest(const float* vector) const;

    // The nearest codeword to each of `count` vectors stored one after the
    // other (kCodewordSize values each) into out[0..count-1].
    void NearestBatch(const float* vectors, int32_t count, uint8_t* out) const;

  private:
    // Blocks of 8 codewords, component by component: component i of
    // codeword c at ((c / 8) * kCodewordSize + i) * 8 + c % 8.
    std::unique_ptr<float[]> blocked_;
    float lengths_[kCodewords] = {};  // squared codeword lengths, single precision
    double longest_ = 0;              // the largest codeword length
    bool estimates_ = false;          // false: every vector is measured exactly
    bool wide_ = false;               // estimates with AVX2 and FMA
};

}  // namespace quil
