#include "fingerprint/Fft.h"

#include <cmath>
#include <cstddef>
#include <numbers>
#include <utility>

// The vector path needs SSE2 (every x86-64 processor has it); its AVX
// functions are compiled for AVX alone and chosen at run time.
#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define HARKBOX_FFT_VECTOR 1
#else
#define HARKBOX_FFT_VECTOR 0
#endif

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

// The vector path does four stages in its first pass and one in its last, on
// pairs of 16-value groups at most; smaller transforms take the scalar path.
constexpr int32_t kVectorMinimum = 32;

// Every butterfly, scalar or vector, is this expression in this order, so
// that all paths round alike. The compiler must not contract a product and
// a sum into a fused multiply-add, which rounds once instead of twice: the
// build targets plain x86-64, which has no such instruction, and the AVX
// functions below enable AVX alone.
inline void Butterfly(FftComplex& a, FftComplex& b, float wRe, float wIm) {
    float tRe = wRe * b.re - wIm * b.im;
    float tIm = wRe * b.im + wIm * b.re;
    b.re = a.re - tRe;
    b.im = a.im - tIm;
    a.re += tRe;
    a.im += tIm;
}

// In place on interleaved values, one stage after the other.
void ScalarTransform(FftComplex* data, int32_t n, const float* factorRe, const float* factorIm,
                     bool inverse) {
    // Bit-reversal permutation, the reversed index j kept incrementally.
    for (int32_t i = 1, j = 0; i < n - 1; ++i) {
        int32_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j)
            std::swap(data[i], data[j]);
    }
    for (int32_t half = 1; half < n; half <<= 1) {
        for (int32_t block = 0; block < n; block += 2 * half) {
            for (int32_t k = 0; k < half; ++k)
                Butterfly(data[block + k], data[block + half + k], factorRe[half + k],
                          factorIm[half + k]);
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

// The vector path keeps the values between passes as N real parts and N
// imaginary parts, so that each lane of a register computes exactly the
// scalar butterfly. Its first pass takes the first four stages on groups of
// 16 values: value 16g + 4j + k of group g is input
//   source(g) + reverse2(j) N/16 + reverse2(k) N/4,
// with source(g) the bit reversal of g. Register k holds values j = 0..3 in
// its lanes (for two groups side by side in the wide path), and the stages
// of butterflies 1 and 2 apart pair registers; a transposition then gives
// register j values k = 0..3, and the stages of butterflies 4 and 8 apart
// pair registers again. The middle stages follow two at a time, and the
// last stage writes interleaved values.

// Input offset of lane j and of register k, in sixteenths of N.
constexpr int32_t kLaneSixteenths[4] = {0, 2, 1, 3};
constexpr int32_t kRegisterSixteenths[4] = {0, 8, 4, 12};

// Where the first pass reads the window value of a group's value (j, k):
// position in the window as the pass visits it.
int32_t WindowSlot(int32_t group, int32_t j, int32_t k, bool wide) {
    return wide ? 32 * (group / 2) + 8 * k + 4 * (group % 2) + j : 16 * group + 4 * k + j;
}

struct VectorPlan {
    int32_t n;
    const float* factorRe;
    const float* factorIm;
    const int32_t* groupSources;
    float* re;
    float* im;
};

#if HARKBOX_FFT_VECTOR

struct Quad {
    __m128 re;
    __m128 im;
};

inline Quad Load(const float* re, const float* im) {
    return {_mm_loadu_ps(re), _mm_loadu_ps(im)};
}

inline void Store(const Quad& value, float* re, float* im) {
    _mm_storeu_ps(re, value.re);
    _mm_storeu_ps(im, value.im);
}

inline void Butterfly(Quad& a, Quad& b, const Quad& w) {
    __m128 tRe = _mm_sub_ps(_mm_mul_ps(w.re, b.re), _mm_mul_ps(w.im, b.im));
    __m128 tIm = _mm_add_ps(_mm_mul_ps(w.re, b.im), _mm_mul_ps(w.im, b.re));
    b.re = _mm_sub_ps(a.re, tRe);
    b.im = _mm_sub_ps(a.im, tIm);
    a.re = _mm_add_ps(a.re, tRe);
    a.im = _mm_add_ps(a.im, tIm);
}

#define HARKBOX_AVX __attribute__((target("avx")))

struct Octet {
    __m256 re;
    __m256 im;
};

HARKBOX_AVX inline Octet Load8(const float* re, const float* im) {
    return {_mm256_loadu_ps(re), _mm256_loadu_ps(im)};
}

HARKBOX_AVX inline void Store(const Octet& value, float* re, float* im) {
    _mm256_storeu_ps(re, value.re);
    _mm256_storeu_ps(im, value.im);
}

HARKBOX_AVX inline void Butterfly(Octet& a, Octet& b, const Octet& w) {
    __m256 tRe = _mm256_sub_ps(_mm256_mul_ps(w.re, b.re), _mm256_mul_ps(w.im, b.im));
    __m256 tIm = _mm256_add_ps(_mm256_mul_ps(w.re, b.im), _mm256_mul_ps(w.im, b.re));
    b.re = _mm256_sub_ps(a.re, tRe);
    b.im = _mm256_sub_ps(a.im, tIm);
    a.re = _mm256_add_ps(a.re, tRe);
    a.im = _mm256_add_ps(a.im, tIm);
}

HARKBOX_AVX inline __m256 Join(__m128 low, __m128 high) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1);
}

// Complex input, read in lanes at `index` + lane offsets (stride N/16).
struct ComplexInput {
    const FftComplex* data;

    Quad Gather(int32_t index, int32_t stride, int32_t) const {
        const FftComplex* p = data + index;
        __m128 first = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(p));
        first = _mm_loadh_pi(first, reinterpret_cast<const __m64*>(p + 2 * stride));
        __m128 second = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(p + stride));
        second = _mm_loadh_pi(second, reinterpret_cast<const __m64*>(p + 3 * stride));
        return {_mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)),
                _mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1))};
    }

    HARKBOX_AVX Octet Gather(int32_t index, int32_t otherIndex, int32_t stride,
                             int32_t slot) const {
        Quad low = Gather(index, stride, slot);
        Quad high = Gather(otherIndex, stride, slot);
        return {Join(low.re, high.re), Join(low.im, high.im)};
    }
};

// Real samples times the window, imaginary parts zero, as ForwardReal's
// plain loop would have written them before transforming. The window is in
// the order the first pass visits it.
struct WindowedInput {
    const float* samples;
    const float* window;

    Quad Gather(int32_t index, int32_t stride, int32_t slot) const {
        const float* s = samples + index;
        __m128 values = _mm_setr_ps(s[0], s[2 * stride], s[stride], s[3 * stride]);
        return {_mm_mul_ps(values, _mm_loadu_ps(window + slot)), _mm_setzero_ps()};
    }

    HARKBOX_AVX Octet Gather(int32_t index, int32_t otherIndex, int32_t stride,
                             int32_t slot) const {
        const float* s = samples + index;
        const float* t = samples + otherIndex;
        __m256 values = _mm256_setr_ps(s[0], s[2 * stride], s[stride], s[3 * stride], t[0],
                                       t[2 * stride], t[stride], t[3 * stride]);
        return {_mm256_mul_ps(values, _mm256_loadu_ps(window + slot)), _mm256_setzero_ps()};
    }
};

template <typename Input>
void FirstStages(VectorPlan plan, const Input& input) {
    const int32_t sixteenth = plan.n / 16;
    auto broadcast = [&](int32_t entry) {
        return Quad{_mm_set1_ps(plan.factorRe[entry]), _mm_set1_ps(plan.factorIm[entry])};
    };
    auto factors = [&](int32_t entry) {
        return Load(plan.factorRe + entry, plan.factorIm + entry);
    };
    const Quad w1 = broadcast(1);
    const Quad w2First = broadcast(2);
    const Quad w2Second = broadcast(3);
    const Quad w4 = factors(4);
    const Quad w8First = factors(8);
    const Quad w8Second = factors(12);
    for (int32_t group = 0; group < sixteenth; ++group) {
        const int32_t source = plan.groupSources[group];
        // Written out register by register: kept in an array, the values
        // would live in memory.
        auto gather = [&](int32_t k) {
            return input.Gather(source + kRegisterSixteenths[k] * sixteenth, sixteenth,
                                WindowSlot(group, 0, k, false));
        };
        Quad v0 = gather(0);
        Quad v1 = gather(1);
        Quad v2 = gather(2);
        Quad v3 = gather(3);
        Butterfly(v0, v1, w1);
        Butterfly(v2, v3, w1);
        Butterfly(v0, v2, w2First);
        Butterfly(v1, v3, w2Second);
        _MM_TRANSPOSE4_PS(v0.re, v1.re, v2.re, v3.re);
        _MM_TRANSPOSE4_PS(v0.im, v1.im, v2.im, v3.im);
        Butterfly(v0, v1, w4);
        Butterfly(v2, v3, w4);
        Butterfly(v0, v2, w8First);
        Butterfly(v1, v3, w8Second);
        float* re = plan.re + 16 * group;
        float* im = plan.im + 16 * group;
        Store(v0, re, im);
        Store(v1, re + 4, im + 4);
        Store(v2, re + 8, im + 8);
        Store(v3, re + 12, im + 12);
    }
}

// Stages 16 to N/4: two at a time (`half` and 2 half on blocks of 4 half
// values), an odd one alone.
void MiddleStages(VectorPlan plan) {
    const int32_t n = plan.n;
    auto factors = [&](int32_t entry) {
        return Load(plan.factorRe + entry, plan.factorIm + entry);
    };
    int32_t half = 16;
    for (; 4 * half <= n / 2; half *= 4) {
        for (int32_t block = 0; block < n; block += 4 * half) {
            float* re = plan.re + block;
            float* im = plan.im + block;
            for (int32_t k = 0; k < half; k += 4) {
                Quad v0 = Load(re + k, im + k);
                Quad v1 = Load(re + half + k, im + half + k);
                Quad v2 = Load(re + 2 * half + k, im + 2 * half + k);
                Quad v3 = Load(re + 3 * half + k, im + 3 * half + k);
                const Quad w = factors(half + k);
                Butterfly(v0, v1, w);
                Butterfly(v2, v3, w);
                Butterfly(v0, v2, factors(2 * half + k));
                Butterfly(v1, v3, factors(3 * half + k));
                Store(v0, re + k, im + k);
                Store(v1, re + half + k, im + half + k);
                Store(v2, re + 2 * half + k, im + 2 * half + k);
                Store(v3, re + 3 * half + k, im + 3 * half + k);
            }
        }
    }
    if (half < n / 2) {
        for (int32_t block = 0; block < n; block += 2 * half) {
            float* re = plan.re + block;
            float* im = plan.im + block;
            for (int32_t k = 0; k < half; k += 4) {
                Quad a = Load(re + k, im + k);
                Quad b = Load(re + half + k, im + half + k);
                Butterfly(a, b, factors(half + k));
                Store(a, re + k, im + k);
                Store(b, re + half + k, im + half + k);
            }
        }
    }
}

// The inverse's scaling multiplies the rounded stage output, as a separate
// pass over the values would.
void LastStage(VectorPlan plan, FftComplex* out, bool inverse) {
    const int32_t half = plan.n / 2;
    const __m128 scale = _mm_set1_ps(1.0f / static_cast<float>(plan.n));
    auto store = [](float* to, const Quad& value) {
        _mm_storeu_ps(to, _mm_unpacklo_ps(value.re, value.im));
        _mm_storeu_ps(to + 4, _mm_unpackhi_ps(value.re, value.im));
    };
    for (int32_t k = 0; k < half; k += 4) {
        Quad a = Load(plan.re + k, plan.im + k);
        Quad b = Load(plan.re + half + k, plan.im + half + k);
        Butterfly(a, b, Load(plan.factorRe + half + k, plan.factorIm + half + k));
        if (inverse) {
            a = {_mm_mul_ps(a.re, scale), _mm_mul_ps(a.im, scale)};
            b = {_mm_mul_ps(b.re, scale), _mm_mul_ps(b.im, scale)};
        }
        store(&out[k].re, a);
        store(&out[half + k].re, b);
    }
}

// The same three passes eight butterflies at a time. The first pass keeps
// two groups side by side, one in each 128-bit half, where the unpacks and
// shuffles of the transposition work.
template <typename Input>
HARKBOX_AVX void FirstStagesWide(VectorPlan plan, const Input& input) {
    const int32_t sixteenth = plan.n / 16;
    auto broadcast = [&](int32_t entry) HARKBOX_AVX {
        return Octet{_mm256_set1_ps(plan.factorRe[entry]), _mm256_set1_ps(plan.factorIm[entry])};
    };
    auto factors = [&](int32_t entry) HARKBOX_AVX {
        __m128 re = _mm_loadu_ps(plan.factorRe + entry);
        __m128 im = _mm_loadu_ps(plan.factorIm + entry);
        return Octet{Join(re, re), Join(im, im)};
    };
    const Octet w1 = broadcast(1);
    const Octet w2First = broadcast(2);
    const Octet w2Second = broadcast(3);
    const Octet w4 = factors(4);
    const Octet w8First = factors(8);
    const Octet w8Second = factors(12);
    auto transpose = [](__m256& r0, __m256& r1, __m256& r2, __m256& r3) HARKBOX_AVX {
        __m256 t0 = _mm256_unpacklo_ps(r0, r1);
        __m256 t1 = _mm256_unpacklo_ps(r2, r3);
        __m256 t2 = _mm256_unpackhi_ps(r0, r1);
        __m256 t3 = _mm256_unpackhi_ps(r2, r3);
        r0 = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(1, 0, 1, 0));
        r1 = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 2, 3, 2));
        r2 = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(1, 0, 1, 0));
        r3 = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(3, 2, 3, 2));
    };
    for (int32_t group = 0; group < sixteenth; group += 2) {
        const int32_t source = plan.groupSources[group];
        const int32_t otherSource = plan.groupSources[group + 1];
        auto gather = [&](int32_t k) HARKBOX_AVX {
            const int32_t offset = kRegisterSixteenths[k] * sixteenth;
            return input.Gather(source + offset, otherSource + offset, sixteenth,
                                WindowSlot(group, 0, k, true));
        };
        Octet v0 = gather(0);
        Octet v1 = gather(1);
        Octet v2 = gather(2);
        Octet v3 = gather(3);
        Butterfly(v0, v1, w1);
        Butterfly(v2, v3, w1);
        Butterfly(v0, v2, w2First);
        Butterfly(v1, v3, w2Second);
        transpose(v0.re, v1.re, v2.re, v3.re);
        transpose(v0.im, v1.im, v2.im, v3.im);
        Butterfly(v0, v1, w4);
        Butterfly(v2, v3, w4);
        Butterfly(v0, v2, w8First);
        Butterfly(v1, v3, w8Second);
        // Each group's half to its own place.
        auto store = [&](const Octet& value, int32_t offset) HARKBOX_AVX {
            float* re = plan.re + 16 * group + offset;
            float* im = plan.im + 16 * group + offset;
            _mm_storeu_ps(re, _mm256_castps256_ps128(value.re));
            _mm_storeu_ps(im, _mm256_castps256_ps128(value.im));
            _mm_storeu_ps(re + 16, _mm256_extractf128_ps(value.re, 1));
            _mm_storeu_ps(im + 16, _mm256_extractf128_ps(value.im, 1));
        };
        store(v0, 0);
        store(v1, 4);
        store(v2, 8);
        store(v3, 12);
    }
}

HARKBOX_AVX void MiddleStagesWide(VectorPlan plan) {
    const int32_t n = plan.n;
    auto factors = [&](int32_t entry)
                       HARKBOX_AVX { return Load8(plan.factorRe + entry, plan.factorIm + entry); };
    int32_t half = 16;
    for (; 4 * half <= n / 2; half *= 4) {
        for (int32_t block = 0; block < n; block += 4 * half) {
            float* re = plan.re + block;
            float* im = plan.im + block;
            for (int32_t k = 0; k < half; k += 8) {
                Octet v0 = Load8(re + k, im + k);
                Octet v1 = Load8(re + half + k, im + half + k);
                Octet v2 = Load8(re + 2 * half + k, im + 2 * half + k);
                Octet v3 = Load8(re + 3 * half + k, im + 3 * half + k);
                const Octet w = factors(half + k);
                Butterfly(v0, v1, w);
                Butterfly(v2, v3, w);
                Butterfly(v0, v2, factors(2 * half + k));
                Butterfly(v1, v3, factors(3 * half + k));
                Store(v0, re + k, im + k);
                Store(v1, re + half + k, im + half + k);
                Store(v2, re + 2 * half + k, im + 2 * half + k);
                Store(v3, re + 3 * half + k, im + 3 * half + k);
            }
        }
    }
    if (half < n / 2) {
        for (int32_t block = 0; block < n; block += 2 * half) {
            float* re = plan.re + block;
            float* im = plan.im + block;
            for (int32_t k = 0; k < half; k += 8) {
                Octet a = Load8(re + k, im + k);
                Octet b = Load8(re + half + k, im + half + k);
                Butterfly(a, b, factors(half + k));
                Store(a, re + k, im + k);
                Store(b, re + half + k, im + half + k);
            }
        }
    }
}

HARKBOX_AVX void LastStageWide(VectorPlan plan, FftComplex* out, bool inverse) {
    const int32_t half = plan.n / 2;
    const __m256 scale = _mm256_set1_ps(1.0f / static_cast<float>(plan.n));
    // The unpacks interleave within each 128-bit half; the permutes put the
    // halves in order.
    auto store = [](float* to, const Octet& value) HARKBOX_AVX {
        __m256 first = _mm256_unpacklo_ps(value.re, value.im);
        __m256 second = _mm256_unpackhi_ps(value.re, value.im);
        _mm256_storeu_ps(to, _mm256_permute2f128_ps(first, second, 0x20));
        _mm256_storeu_ps(to + 8, _mm256_permute2f128_ps(first, second, 0x31));
    };
    for (int32_t k = 0; k < half; k += 8) {
        Octet a = Load8(plan.re + k, plan.im + k);
        Octet b = Load8(plan.re + half + k, plan.im + half + k);
        Butterfly(a, b, Load8(plan.factorRe + half + k, plan.factorIm + half + k));
        if (inverse) {
            a = {_mm256_mul_ps(a.re, scale), _mm256_mul_ps(a.im, scale)};
            b = {_mm256_mul_ps(b.re, scale), _mm256_mul_ps(b.im, scale)};
        }
        store(&out[k].re, a);
        store(&out[half + k].re, b);
    }
}

template <typename Input>
HARKBOX_AVX void VectorTransformWide(VectorPlan plan, const Input& input, FftComplex* out,
                                     bool inverse) {
    FirstStagesWide(plan, input);
    MiddleStagesWide(plan);
    LastStageWide(plan, out, inverse);
}

#undef HARKBOX_AVX

template <typename Input>
void VectorTransform(VectorPlan plan, const Input& input, FftComplex* out, bool inverse,
                     bool wide) {
    if (wide) {
        VectorTransformWide(plan, input, out, inverse);
        return;
    }
    FirstStages(plan, input);
    MiddleStages(plan);
    LastStage(plan, out, inverse);
}

bool ProcessorHasAvx() {
    static const bool hasAvx = __builtin_cpu_supports("avx");
    return hasAvx;
}

#endif

}  // namespace

Fft::Fft(int32_t size, VectorInstructions instructions) : size_(IsValidSize(size) ? size : 0) {
    const int32_t n = size_;
    if (n < 2)
        return;
    const size_t count = static_cast<size_t>(n);

    // Exactly the recurrence of the butterfly loop these factors replace:
    // each stage starts from 1 + 0i and multiplies by its step factor.
    twiddles_ = std::make_unique<float[]>(4 * count);
    for (int32_t direction = 0; direction < 2; ++direction) {
        float* factorRe = twiddles_.get() + 2 * count * static_cast<size_t>(direction);
        float* factorIm = factorRe + count;
        const float sign = direction == 1 ? 1.0f : -1.0f;
        for (int32_t stage = 0, half = 1; half < n; ++stage, half <<= 1) {
            const float stepRe = kStepCos[stage];
            const float stepIm = sign * kStepSin[stage];
            float wRe = 1.0f;
            float wIm = 0.0f;
            for (int32_t k = 0; k < half; ++k) {
                factorRe[half + k] = wRe;
                factorIm[half + k] = wIm;
                float nextRe = wRe * stepRe - wIm * stepIm;
                wIm = wRe * stepIm + wIm * stepRe;
                wRe = nextRe;
            }
        }
    }

#if HARKBOX_FFT_VECTOR
    if (n >= kVectorMinimum) {
        const int32_t groups = n / 16;
        groupSources_ = std::make_unique<int32_t[]>(static_cast<size_t>(groups));
        for (int32_t group = 0; group < groups; ++group) {
            int32_t reversed = 0;
            for (int32_t bit = 1, mirror = groups >> 1; bit < groups; bit <<= 1, mirror >>= 1) {
                if (group & bit)
                    reversed |= mirror;
            }
            groupSources_[group] = reversed;
        }
        scratch_ = std::make_unique<float[]>(2 * count);
        wide_ = instructions == VectorInstructions::kBest && ProcessorHasAvx();
    }
#else
    static_cast<void>(instructions);
#endif
}

Fft::~Fft() = default;

const float* Fft::Window() {
    if (!window_ && size_ > 0) {
        window_ = std::make_unique<float[]>(static_cast<size_t>(size_));
        for (int32_t i = 0; i < size_; ++i) {
            double angle = 2.0 * std::numbers::pi * i / size_;
            window_[i] = static_cast<float>(0.5 - 0.5 * std::cos(angle));
        }
        if (groupSources_) {
            visitedWindow_ = std::make_unique<float[]>(static_cast<size_t>(size_));
            const int32_t sixteenth = size_ / 16;
            for (int32_t group = 0; group < sixteenth; ++group) {
                for (int32_t k = 0; k < 4; ++k) {
                    for (int32_t j = 0; j < 4; ++j) {
                        int32_t index = groupSources_[group] +
                                        (kLaneSixteenths[j] + kRegisterSixteenths[k]) * sixteenth;
                        visitedWindow_[WindowSlot(group, j, k, wide_)] = window_[index];
                    }
                }
            }
        }
    }
    return window_.get();
}

void Fft::ForwardReal(const float* samples, FftComplex* out) {
    const float* window = Window();
    if (!window)
        return;
#if HARKBOX_FFT_VECTOR
    if (scratch_) {
        const int32_t n = size_;
        VectorPlan plan{n,
                        twiddles_.get(),
                        twiddles_.get() + n,
                        groupSources_.get(),
                        scratch_.get(),
                        scratch_.get() + n};
        VectorTransform(plan, WindowedInput{samples, visitedWindow_.get()}, out, false, wide_);
        return;
    }
#endif
    for (int32_t i = 0; i < size_; ++i)
        out[i] = {samples[i] * window[i], 0.0f};
    Transform(out, false);
}

void Fft::Transform(FftComplex* data, bool inverse) const {
    const int32_t n = size_;
    if (n < 2)
        return;
    const float* factorRe = twiddles_.get() + (inverse ? 2 * static_cast<size_t>(n) : 0);
    const float* factorIm = factorRe + n;
#if HARKBOX_FFT_VECTOR
    if (scratch_) {
        VectorPlan plan{
            n, factorRe, factorIm, groupSources_.get(), scratch_.get(), scratch_.get() + n};
        VectorTransform(plan, ComplexInput{data}, data, inverse, wide_);
        return;
    }
#endif
    ScalarTransform(data, n, factorRe, factorIm, inverse);
}

}  // namespace quil
