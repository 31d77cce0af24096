#pragma once

#include "fingerprint/AnalysisConstants.h"

namespace quil {

// Harmonic-product onset detector. For each base bin b = 0..57 the product
// of the mean magnitudes of harmonics 1 to 4 (bins h*b .. h*b+h-1) is
// compared with its value in the previous hop; the rise count is the number
// of products that grew more than tenfold. The detector re-arms when the
// count falls below 0.4 x its decaying peak, and an armed detector fires
// when the count exceeds the peak. It starts disarmed.
class OnsetDetector {
  public:
    // `sampleRate` in Hz sets the peak's decay per hop: peak -= peak / (rate / 2048).
    explicit OnsetDetector(double sampleRate = kAnalysisRate);

    // Takes one hop's unfloored magnitudes (kMagnitudeBins values); true when
    // the hop is an onset.
    bool Process(const float* magnitudes);

    int32_t riseCount() const { return riseCount_; }
    double peak() const { return peak_; }
    bool armed() const { return armed_; }

  private:
    double previous_[kHarmonicBases] = {};
    double decayDivisor_;  // rate / 2048: the peak loses 1/decayDivisor_ of itself per hop
    double peak_ = 0;
    int32_t riseCount_ = 0;
    bool armed_ = false;
};

}  // namespace quil
