#pragma once

// The analysis in its plain form, written from its description with the
// numbers spelled out: the optimised stages must match it bit for bit, since
// codes made by other builds are compared with ours.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>
#include <vector>

#include "fingerprint/Fft.h"
#include "fingerprint/SegmentAnalysis.h"

namespace quil::test {

// The radix-2 transform, the twiddle factor advanced inside the butterfly
// loop by the step factor of its stage: cos and sin of pi / half in float.
inline void ReferenceTransform(FftComplex* data, int32_t n, bool inverse) {
    for (int32_t i = 1, j = 0; i < n - 1; ++i) {
        int32_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j)
            std::swap(data[i], data[j]);
    }
    auto toFloat = [](double value) {
        return static_cast<float>(std::abs(value) < 1e-9 ? 0 : value);
    };
    for (int32_t half = 1; half < n; half *= 2) {
        const float stepRe = toFloat(std::cos(std::numbers::pi / half));
        const float stepIm = toFloat((inverse ? 1 : -1) * std::sin(std::numbers::pi / half));
        float wRe = 1.0f;
        float wIm = 0.0f;
        for (int32_t k = 0; k < half; ++k) {
            for (int32_t i = k; i < n; i += 2 * half) {
                FftComplex& a = data[i];
                FftComplex& b = data[i + half];
                float tRe = wRe * b.re - wIm * b.im;
                float tIm = wRe * b.im + wIm * b.re;
                b = {a.re - tRe, a.im - tIm};
                a = {a.re + tRe, a.im + tIm};
            }
            float nextRe = wRe * stepRe - wIm * stepIm;
            wIm = wRe * stepIm + wIm * stepRe;
            wRe = nextRe;
        }
    }
    for (int32_t i = 0; inverse && i < n; ++i)
        data[i] = {data[i].re * (1.0f / static_cast<float>(n)),
                   data[i].im * (1.0f / static_cast<float>(n))};
}

// The periodic Hann window value i of n.
inline float HannWindow(int32_t i, int32_t n) {
    return static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / n));
}

// One hop's spectrum: the windowed 2048-point transform, magnitudes of bins
// 0-231, the floor 0.2 x their RMS (at least 0.01), and band k the mean log
// of bins 24 + 2k and 25 + 2k held up to the floor.
struct ReferenceBands {
    float magnitudes[232] = {};
    float bands[64] = {};
    double floor = 0;

    void Analyse(const float* frame) {
        std::vector<FftComplex> spectrum(2048);
        for (int32_t i = 0; i < 2048; ++i)
            spectrum[i] = {frame[i] * HannWindow(i, 2048), 0.0f};
        ReferenceTransform(spectrum.data(), 2048, false);
        double powerSum = 0;
        for (int32_t bin = 0; bin < 232; ++bin) {
            double re = spectrum[bin].re;
            double im = spectrum[bin].im;
            magnitudes[bin] = static_cast<float>(std::sqrt(re * re + im * im));
            powerSum += re * re + im * im;
        }
        floor = std::max(0.2 * std::sqrt(powerSum / 232), 0.01);
        for (int32_t k = 0; k < 64; ++k) {
            double low = std::max<double>(magnitudes[24 + 2 * k], floor);
            bands[k] = static_cast<float>(
                0.5 * std::log(low * std::max<double>(magnitudes[25 + 2 * k], floor)));
        }
    }
};

// The onset detector: for bases b = 0..57 the product of the means of bins
// h*b .. h*b+h-1 for h = 1..4 rises when above 10 x last hop's; the peak of
// the rise count decays by 1/(44100/2048) per hop, the detector arms below
// 0.4 x peak and fires, disarming, above it.
struct ReferenceOnsets {
    double previous[58] = {};
    double peak = 0;
    int32_t riseCount = 0;
    bool armed = false;

    bool Process(const float* magnitudes) {
        riseCount = 0;
        for (int32_t base = 0; base < 58; ++base) {
            double product = 1;
            for (int32_t harmonic = 1; harmonic <= 4; ++harmonic) {
                double sum = 0;
                for (int32_t j = 0; j < harmonic; ++j)
                    sum += magnitudes[harmonic * base + j];
                product *= sum / harmonic;
            }
            riseCount += product > 10 * previous[base];
            previous[base] = product;
        }
        peak = std::max(peak, static_cast<double>(riseCount));
        peak -= peak / (44100.0 / 2048);
        const bool fires = armed && riseCount >= 0.4 * peak && riseCount > peak;
        armed = riseCount < 0.4 * peak || (armed && !fires);
        return fires;
    }
};

// Every segment of `samples`, in order. Hop h analyses the frame of hops h-1
// and h (zeros before the first) and keeps the running sum of each band over
// the last 64 hops (zeros before the first); an onset in hop s opens a
// segment whose row r takes 1/8 of (band - sum / 64) of hops s + 32r + 0..7,
// finished in hop s + 104 with each row made zero-mean.
inline std::vector<Segment> ReferenceSegments(const std::vector<float>& samples) {
    ReferenceBands analyzer;
    ReferenceOnsets onsets;
    std::vector<float> frame(2048, 0.0f);
    std::vector<std::vector<float>> bands;
    double sums[64] = {};
    std::vector<Segment> open;
    std::vector<Segment> finished;
    for (size_t hop = 0; (hop + 1) * 1024 <= samples.size(); ++hop) {
        std::copy(frame.begin() + 1024, frame.end(), frame.begin());
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(hop * 1024), 1024,
                    frame.begin() + 1024);
        analyzer.Analyse(frame.data());
        bands.emplace_back(analyzer.bands, analyzer.bands + 64);
        for (int32_t k = 0; k < 64; ++k)
            sums[k] += static_cast<double>(bands[hop][k]) - (hop >= 64 ? bands[hop - 64][k] : 0.0);
        if (onsets.Process(analyzer.magnitudes))
            open.push_back(Segment{{}, static_cast<int32_t>(hop)});
        for (auto segment = open.begin(); segment != open.end();) {
            const size_t age = hop - static_cast<size_t>(segment->startFrame);
            for (int32_t k = 0; age % 32 < 8 && age < 104 && k < 64; ++k) {
                float& value = segment->rows[age / 32][k];
                value = static_cast<float>(value + 0.125 * (bands[hop][k] - sums[k] / 64));
            }
            if (age < 104) {
                ++segment;
                continue;
            }
            for (auto& row : segment->rows) {
                double sum = 0;
                for (float value : row)
                    sum += value;
                for (float& value : row)
                    value = static_cast<float>(value - sum / 64);
            }
            finished.push_back(*segment);
            segment = open.erase(segment);
        }
    }
    return finished;
}

}  // namespace quil::test
