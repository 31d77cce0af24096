#include "fingerprint/OnsetDetector.h"

#include <algorithm>

namespace quil {

OnsetDetector::OnsetDetector(double sampleRate) : decayDivisor_(sampleRate / kFrameSize) {}

bool OnsetDetector::Process(const float* magnitudes) {
    int32_t rises = 0;
    for (int32_t base = 0; base < kHarmonicBases; ++base) {
        double product = 1;
        for (int32_t harmonic = 1; harmonic <= 4; ++harmonic) {
            double sum = 0;
            for (int32_t j = 0; j < harmonic; ++j)
                sum += magnitudes[harmonic * base + j];
            product *= sum / harmonic;
        }
        if (product > kRiseFactor * previous_[base])
            ++rises;
        previous_[base] = product;
    }
    riseCount_ = rises;

    peak_ = std::max(peak_, static_cast<double>(rises));
    peak_ -= peak_ / decayDivisor_;
    if (rises < kRearmRatio * peak_) {
        armed_ = true;
        return false;
    }
    if (armed_ && rises > peak_) {
        armed_ = false;
        return true;
    }
    return false;
}

}  // namespace quil
