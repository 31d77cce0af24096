#include "fingerprint/Fft.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace quil {

namespace {

// Step factors of stage s: sin(pi / 2^s) and cos(pi / 2^s), single precision.
// They bound the transform to 2^13 = 8192 values.
constexpr float kStepSin[13] = {0.0f,           1.0f,           0.707106769f,   0.382683426f,
                                0.195090324f,   0.0980171412f,  0.0490676761f,  0.024541229f,
                                0.0122715384f,  0.00613588467f, 0.00306795677f, 0.00153398013f,
                                0.000766990299f};
constexpr float kStepCos[13] = {
    -1.0f,        0.0f,         0.707106769f, 0.923879504f, 0.980785251f, 0.99518472f, 0.99879545f,
    0.999698818f, 0.999924719f, 0.999981165f, 0.999995291f, 0.999998808f, 0.999999702f};

bool IsValidSize(int32_t size) {
    return size >= 1 && size <= Fft::kMaxSize && (size & (size - 1)) == 0;
}

}  // namespace

Fft::Fft(int32_t size) : size_(IsValidSize(size) ? size : 0) {}

Fft::~Fft() = default;

const float* Fft::Window() {
    if (!window_ && size_ > 0) {
        window_ = std::make_unique<float[]>(static_cast<size_t>(size_));
        for (int32_t i = 0; i < size_; ++i) {
            double angle = 2.0 * std::numbers::pi * i / size_;
            window_[i] = static_cast<float>(0.5 - 0.5 * std::cos(angle));
        }
    }
    return window_.get();
}

void Fft::ForwardReal(const float* samples, FftComplex* out) {
    const float* window = Window();
    if (!window)
        return;
    for (int32_t i = 0; i < size_; ++i)
        out[i] = {samples[i] * window[i], 0.0f};
    Transform(out, false);
}

void Fft::Transform(FftComplex* data, bool inverse) const {
    const int32_t n = size_;
    if (n < 2)
        return;

    // Bit-reversal permutation, the reversed index j kept incrementally.
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

}  // namespace quil
