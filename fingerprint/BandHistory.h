#pragma once

#include "fingerprint/AnalysisConstants.h"

namespace quil {

// The running mean of every band over the last 64 hops: a ring of 64 rows of
// band values and the sum of each column. The mean always divides by 64,
// also while the ring still holds its initial zeros.
class BandHistory {
  public:
    // Replaces the oldest row with `bands` (kBandCount values).
    void Add(const float* bands);

    // Sum of band k over the ring.
    double sum(int32_t k) const { return sums_[k]; }
    double mean(int32_t k) const { return sums_[k] / kHistoryHops; }

  private:
    float rows_[kHistoryHops][kBandCount] = {};
    double sums_[kBandCount] = {};
    int32_t writeRow_ = 0;
};

}  // namespace quil
