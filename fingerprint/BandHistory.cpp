#include "fingerprint/BandHistory.h"

namespace quil {

void BandHistory::Add(const float* bands) {
    float* row = rows_[writeRow_];
    for (int32_t k = 0; k < kBandCount; ++k) {
        sums_[k] += static_cast<double>(bands[k]) - static_cast<double>(row[k]);
        row[k] = bands[k];
    }
    writeRow_ = (writeRow_ + 1) % kHistoryHops;
}

}  // namespace quil
