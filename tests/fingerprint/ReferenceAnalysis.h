#pragma once

// The analysis stages in their plain form, which the optimised ones must
// match bit for bit: codes made by other builds are compared with ours.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>
#include <vector>

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/Fft.h"

namespace quil::test {

// The radix-2 transform: the twiddle factor advanced inside the butterfly
// loop by a single-precision step factor per stage.
inline void ReferenceTransform(FftComplex* data, int32_t n, bool inverse) {
    static constexpr float kStepSin[13] = {
        0.0f,           1.0f,           0.707106769f,   0.382683426f,  0.195090324f,
        0.0980171412f,  0.0490676761f,  0.024541229f,   0.0122715384f, 0.00613588467f,
        0.00306795677f, 0.00153398013f, 0.000766990299f};
    static constexpr float kStepCos[13] = {-1.0f,        0.0f,         0.707106769f, 0.923879504f,
                                           0.980785251f, 0.99518472f,  0.99879545f,  0.999698818f,
                                           0.999924719f, 0.999981165f, 0.999995291f, 0.999998808f,
                                           0.999999702f};
    if (n < 2)
        return;

    for (int32_t i = 1, j = 0; i < n - 1; ++i) {
        int32_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j)
            std::swap(data[i], data[j]);
    }

    const float sign = inverse ? 1.0f : -1.0f;
    for (int32_t stage = 0, half = 1; half < n; ++stage, half <<= 1) {
        const float stepRe = kStepCos[stage];
        const float stepIm = sign * kStepSin[stage];
        float wRe = 1.0f;
        float wIm = 0.0f;
        for (int32_t k = 0; k < half; ++k) {
            for (int32_t i = k; i < n; i += 2 * half) {
                FftComplex& a = data[i];
                FftComplex& b = data[i + half];
                float tRe = wRe * b.re - wIm * b.im;
                float tIm = wRe * b.im + wIm * b.re;
                b.re = a.re - tRe;
                b.im = a.im - tIm;
                a.re += tRe;
                a.im += tIm;
            }
            float nextRe = wRe * stepRe - wIm * stepIm;
            wIm = wRe * stepIm + wIm * stepRe;
            wRe = nextRe;
        }
    }

    if (inverse) {
        const float scale = 1.0f / static_cast<float>(n);
        for (int32_t i = 0; i < n; ++i) {
            data[i].re *= scale;
            data[i].im *= scale;
        }
    }
}

// The spectral stage of one hop, as BandAnalyzer.
struct ReferenceBandAnalyzer {
    std::vector<float> window = std::vector<float>(kFrameSize);
    std::vector<FftComplex> spectrum = std::vector<FftComplex>(kFrameSize);
    float magnitudes[kMagnitudeBins] = {};
    float bands[kBandCount] = {};
    double floor = 0;

    ReferenceBandAnalyzer() {
        for (int32_t i = 0; i < kFrameSize; ++i) {
            double angle = 2.0 * std::numbers::pi * i / kFrameSize;
            window[i] = static_cast<float>(0.5 - 0.5 * std::cos(angle));
        }
    }

    void Analyse(const float* frame) {
        for (int32_t i = 0; i < kFrameSize; ++i)
            spectrum[i] = {frame[i] * window[i], 0.0f};
        ReferenceTransform(spectrum.data(), kFrameSize, false);
        double powerSum = 0;
        for (int32_t bin = 0; bin < kMagnitudeBins; ++bin) {
            double re = spectrum[bin].re;
            double im = spectrum[bin].im;
            double power = re * re + im * im;
            magnitudes[bin] = static_cast<float>(std::sqrt(power));
            powerSum += power;
        }
        floor = std::max(kFloorRatio * std::sqrt(powerSum / kMagnitudeBins), kMinimumFloor);
        for (int32_t k = 0; k < kBandCount; ++k) {
            double low = std::max<double>(magnitudes[kFirstBandBin + 2 * k], floor);
            double high = std::max<double>(magnitudes[kFirstBandBin + 2 * k + 1], floor);
            bands[k] = static_cast<float>(0.5 * std::log(low * high));
        }
    }
};

// The onset detector, as OnsetDetector.
struct ReferenceOnsetDetector {
    double previous[kHarmonicBases] = {};
    double decayDivisor = kAnalysisRate / kFrameSize;
    double peak = 0;
    int32_t riseCount = 0;
    bool armed = false;

    bool Process(const float* magnitudes) {
        int32_t rises = 0;
        for (int32_t base = 0; base < kHarmonicBases; ++base) {
            double product = 1;
            for (int32_t harmonic = 1; harmonic <= 4; ++harmonic) {
                double sum = 0;
                for (int32_t j = 0; j < harmonic; ++j)
                    sum += magnitudes[harmonic * base + j];
                product *= sum / harmonic;
            }
            if (product > kRiseFactor * previous[base])
                ++rises;
            previous[base] = product;
        }
        riseCount = rises;
        peak = std::max(peak, static_cast<double>(rises));
        peak -= peak / decayDivisor;
        if (rises < kRearmRatio * peak) {
            armed = true;
            return false;
        }
        if (armed && rises > peak) {
            armed = false;
            return true;
        }
        return false;
    }
};

}  // namespace quil::test
