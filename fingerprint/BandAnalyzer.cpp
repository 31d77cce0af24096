#include "fingerprint/BandAnalyzer.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quil {

BandAnalyzer::BandAnalyzer()
    : fft_(kFrameSize), spectrum_(std::make_unique<FftComplex[]>(kFrameSize)) {}

void BandAnalyzer::Analyse(const float* frame) {
    fft_.ForwardReal(frame, spectrum_.get());

    // The power sum keeps its order, bin by bin; the square roots, correctly
    // rounded either way, go two at a time.
    static_assert(kMagnitudeBins % 2 == 0);
    double powerSum = 0;
#if defined(__SSE2__)
    const float* spectrum = &spectrum_[0].re;
    for (int32_t bin = 0; bin < kMagnitudeBins; bin += 2) {
        __m128 values = _mm_loadu_ps(spectrum + 2 * bin);
        __m128d first = _mm_cvtps_pd(values);
        __m128d second = _mm_cvtps_pd(_mm_movehl_ps(values, values));
        first = _mm_mul_pd(first, first);
        second = _mm_mul_pd(second, second);
        __m128d power = _mm_add_pd(_mm_unpacklo_pd(first, second), _mm_unpackhi_pd(first, second));
        __m128 magnitude = _mm_cvtpd_ps(_mm_sqrt_pd(power));
        _mm_storel_pi(reinterpret_cast<__m64*>(magnitudes_ + bin), magnitude);
        powerSum += _mm_cvtsd_f64(power);
        powerSum += _mm_cvtsd_f64(_mm_unpackhi_pd(power, power));
    }
#else
    for (int32_t bin = 0; bin < kMagnitudeBins; ++bin) {
        double re = spectrum_[bin].re;
        double im = spectrum_[bin].im;
        double power = re * re + im * im;
        magnitudes_[bin] = static_cast<float>(std::sqrt(power));
        powerSum += power;
    }
#endif
    floor_ = std::max(kFloorRatio * std::sqrt(powerSum / kMagnitudeBins), kMinimumFloor);

    // Most bands of most hops have both bins at the floor; the logarithm,
    // the dearest step here, is taken once for all of them.
    const double flooredProduct = floor_ * floor_;
    float flooredBand = 0;
    bool flooredKnown = false;
    for (int32_t k = 0; k < kBandCount; ++k) {
        double low = std::max<double>(magnitudes_[kFirstBandBin + 2 * k], floor_);
        double high = std::max<double>(magnitudes_[kFirstBandBin + 2 * k + 1], floor_);
        double product = low * high;
        if (product != flooredProduct) {
            bands_[k] = static_cast<float>(0.5 * std::log(product));
            continue;
        }
        if (!flooredKnown) {
            flooredBand = static_cast<float>(0.5 * std::log(product));
            flooredKnown = true;
        }
        bands_[k] = flooredBand;
    }
}

}  // namespace quil
