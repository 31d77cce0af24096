#include "fingerprint/BandAnalyzer.h"

#include <algorithm>
#include <cmath>

namespace quil {

BandAnalyzer::BandAnalyzer()
    : fft_(kFrameSize), spectrum_(std::make_unique<FftComplex[]>(kFrameSize)) {}

void BandAnalyzer::Analyse(const float* frame) {
    fft_.ForwardReal(frame, spectrum_.get());

    double powerSum = 0;
    for (int32_t bin = 0; bin < kMagnitudeBins; ++bin) {
        double re = spectrum_[bin].re;
        double im = spectrum_[bin].im;
        double power = re * re + im * im;
        magnitudes_[bin] = static_cast<float>(std::sqrt(power));
        powerSum += power;
    }
    floor_ = std::max(kFloorRatio * std::sqrt(powerSum / kMagnitudeBins), kMinimumFloor);

    for (int32_t k = 0; k < kBandCount; ++k) {
        double low = std::max<double>(magnitudes_[kFirstBandBin + 2 * k], floor_);
        double high = std::max<double>(magnitudes_[kFirstBandBin + 2 * k + 1], floor_);
        bands_[k] = static_cast<float>(0.5 * std::log(low * high));
    }
}

}  // namespace quil
