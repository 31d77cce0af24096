#pragma once

#include <memory>

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/Fft.h"

namespace quil {

// The spectral stage of one hop: windowed transform of a 2048-sample frame,
// the magnitudes of bins 0-231 and the 64 band values, each the mean natural
// logarithm of its two bins' magnitudes held up to the hop's floor
// (0.2 x RMS magnitude, at least 0.01). Owns its transform and spectrum.
class BandAnalyzer {
  public:
    BandAnalyzer();

    // `frame`: kFrameSize samples, full scale +-1, oldest first.
    void Analyse(const float* frame);

    // Unfloored magnitudes of bins 0 to kMagnitudeBins - 1 (unscaled
    // transform units) of the last Analyse.
    const float* magnitudes() const { return magnitudes_; }
    // Band values (natural log of magnitudes) of the last Analyse.
    const float* bands() const { return bands_; }
    // The floor used by the last Analyse.
    double floor() const { return floor_; }

  private:
    Fft fft_;
    std::unique_ptr<FftComplex[]> spectrum_;
    float magnitudes_[kMagnitudeBins] = {};
    float bands_[kBandCount] = {};
    double floor_ = 0;
};

}  // namespace quil
