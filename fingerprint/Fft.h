#pragma once

#include <cstdint>
#include <memory>

#include "fingerprint/VectorInstructions.h"

namespace quil {

// One complex value of the transform, single precision, real part first.
struct FftComplex {
    float re;
    float im;
};

// Radix-2 complex transform of a fixed size N (a power of two, 1 to 8192),
// with the periodic Hann window of N floats for real input. Twiddle factors
// are advanced stage by stage by multiplication with single-precision step
// factors, so the results are those of float arithmetic throughout. Codes
// computed by other builds are compared with ours, and a value one unit off
// in the last place can move a code: every output is bit for bit that of the
// plain loop of butterflies over those factors, whatever order and
// instructions the transform takes. The factors of both directions are
// tabled when the object is made, the window on the first ForwardReal or
// Window call; an object is not shared between threads (Transform works in
// its scratch).
class Fft {
  public:
    static constexpr int32_t kMaxSize = 8192;

    // Any other size than a power of two from 1 to kMaxSize makes an unusable
    // object: size() answers 0 and the operations do nothing.
    explicit Fft(int32_t size, VectorInstructions instructions = VectorInstructions::kBest);
    ~Fft();
    Fft(const Fft&) = delete;
    Fft& operator=(const Fft&) = delete;

    int32_t size() const { return size_; }

    // The N window values w[i] = 0.5 - 0.5 cos(2 pi i / N); owned by the object.
    const float* Window();

    // Multiplies the N real `samples` by the window into `out` (imaginary
    // parts 0) and transforms `out` forward, unscaled. `out` holds N values.
    void ForwardReal(const float* samples, FftComplex* out);

    // In place on N values: forward (e^-i) unscaled, or inverse (e^+i) scaled
    // by 1/N.
    void Transform(FftComplex* data, bool inverse) const;

  private:
    int32_t size_ = 0;
    // Per direction (forward, then inverse), the real parts then the
    // imaginary parts of N factors: entry half + k is the factor of
    // butterfly k of the stage of butterflies `half` apart.
    std::unique_ptr<float[]> twiddles_;
    // Where each group of 16 values of the vector path takes its inputs
    // from: the bit reversal of the group's number (N / 16 entries).
    std::unique_ptr<int32_t[]> groupSources_;
    // N real parts then N imaginary parts of a transform in progress.
    std::unique_ptr<float[]> scratch_;
    std::unique_ptr<float[]> window_;
    // The window in the order the vector path's first pass reads it.
    std::unique_ptr<float[]> visitedWindow_;
    bool wide_ = false;  // AVX: eight butterflies at a time
};

}  // namespace quil
