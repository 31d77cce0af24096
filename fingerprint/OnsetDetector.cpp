#include "fingerprint/OnsetDetector.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quil {

OnsetDetector::OnsetDetector(double sampleRate) : decayDivisor_(sampleRate / kFrameSize) {}

bool OnsetDetector::Process(const float* magnitudes) {
    // Harmonic h's mean: its h bins summed in order from 0, divided by h;
    // the product of the four means is compared with the previous hop's.
    // Written out, the sums need no loops and the divisions by 1, 2 and 4
    // become the exact multiplications they equal.
    int32_t rises = 0;
#if defined(__SSE2__)
    // Two bases side by side, each lane rounding as the plain sums do. The
    // bins of bases b and b + 1 lie one after the other for every harmonic.
    static_assert(kHarmonicBases % 2 == 0);
    auto pair = [magnitudes](int32_t bin) {
        return _mm_cvtps_pd(
            _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(magnitudes + bin)));
    };
    const __m128d zero = _mm_setzero_pd();
    const __m128d three = _mm_set1_pd(3.0);
    const __m128d riseFactor = _mm_set1_pd(kRiseFactor);
    for (int32_t base = 0; base < kHarmonicBases; base += 2) {
        __m128d first = _mm_add_pd(zero, pair(base));

        __m128d a = pair(2 * base);
        __m128d b = pair(2 * base + 2);
        __m128d second = _mm_add_pd(_mm_add_pd(zero, _mm_unpacklo_pd(a, b)), _mm_unpackhi_pd(a, b));

        a = pair(3 * base);
        b = pair(3 * base + 2);
        __m128d c = pair(3 * base + 4);
        __m128d third = _mm_add_pd(zero, _mm_shuffle_pd(a, b, 2));
        third = _mm_add_pd(third, _mm_shuffle_pd(a, c, 1));
        third = _mm_add_pd(third, _mm_shuffle_pd(b, c, 2));

        a = pair(4 * base);
        b = pair(4 * base + 2);
        c = pair(4 * base + 4);
        __m128d d = pair(4 * base + 6);
        __m128d fourth = _mm_add_pd(zero, _mm_unpacklo_pd(a, c));
        fourth = _mm_add_pd(fourth, _mm_unpackhi_pd(a, c));
        fourth = _mm_add_pd(fourth, _mm_unpacklo_pd(b, d));
        fourth = _mm_add_pd(fourth, _mm_unpackhi_pd(b, d));

        __m128d product = _mm_mul_pd(first, _mm_mul_pd(second, _mm_set1_pd(0.5)));
        product = _mm_mul_pd(product, _mm_div_pd(third, three));
        product = _mm_mul_pd(product, _mm_mul_pd(fourth, _mm_set1_pd(0.25)));
        __m128d previous = _mm_loadu_pd(previous_ + base);
        int rose = _mm_movemask_pd(_mm_cmpgt_pd(product, _mm_mul_pd(riseFactor, previous)));
        rises += (rose & 1) + (rose >> 1);
        _mm_storeu_pd(previous_ + base, product);
    }
#else
    for (int32_t base = 0; base < kHarmonicBases; ++base) {
        const float* second = magnitudes + 2 * base;
        const float* third = magnitudes + 3 * base;
        const float* fourth = magnitudes + 4 * base;
        double product = 1;
        product *= (0.0 + magnitudes[base]) / 1;
        product *= ((0.0 + second[0]) + second[1]) / 2;
        product *= (((0.0 + third[0]) + third[1]) + third[2]) / 3;
        product *= ((((0.0 + fourth[0]) + fourth[1]) + fourth[2]) + fourth[3]) / 4;
        if (product > kRiseFactor * previous_[base])
            ++rises;
        previous_[base] = product;
    }
#endif
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
