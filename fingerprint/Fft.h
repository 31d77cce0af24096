#pragma once

#include <cstdint>
#include <memory>

namespace quil {

// One complex value of the transform, single precision, real part first.
struct FftComplex {
    float re;
    float im;
};

// Radix-2 complex transform of a fixed size N (a power of two, 1 to 8192),
// with the periodic Hann window of N floats for real input. Twiddle factors
// are advanced stage by stage by multiplication with single-precision step
// factors, so the results are those of float arithmetic throughout. The
// window table is built on the first ForwardReal or Window call and freed
// with the object; an object is not shared between threads.
class Fft {
  public:
    static constexpr int32_t kMaxSize = 8192;

    // Any other size than a power of two from 1 to kMaxSize makes an unusable
    // object: size() answers 0 and the operations do nothing.
    explicit Fft(int32_t size);
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
    std::unique_ptr<float[]> window_;
};

}  // namespace quil
