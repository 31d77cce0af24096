#include "fingerprint/NearestCodeword.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define HARKBOX_NEAREST_VECTOR 1
#else
#define HARKBOX_NEAREST_VECTOR 0
#endif

namespace quil {

namespace {

constexpr int32_t kBlockWords = 8;
constexpr int32_t kBlocks = kCodewords / kBlockWords;
constexpr int32_t kBlockFloats = kBlockWords * kCodewordSize;

// Why the estimates may pick the candidates. With u = 2^-24, a float dot
// product of n = 64 terms is off by at most gamma_n |x| |c|, gamma_n =
// n u / (1 - n u) < 64.01 u, whatever the order of its sums and whether
// products are fused into them (Cauchy-Schwarz bounds the sum of |x_i c_i|).
// The squared length |c|^2, rounded to float, is off by at most 1.01 u |c|^2,
// and the final subtraction adds u (|c|^2 + 2 |x| |c|) at most. So the
// estimate e_c = |c|^2 - 2 x.c misses the true |x - c|^2 - |x|^2 by at most
//     E = u (3 C^2 + 131 X C),  X = |x|, C = the largest |c|,
// plus 2 x 64 x 2^-150 for products that underflow. The exact distances, in
// double precision (64 squares and sums, unit 2^-53), are off by less than
// D = 2^-46 (X + C)^2. If w is the exact winner and b the codeword with the
// least estimate, d_w <= d_b, hence e_w <= e_b + 2 (E + D): every codeword
// whose estimate exceeds the least one by more is no candidate. Twice that
// margin is used. Vectors or codewords long enough to overflow float, or not
// finite, go to the exact measure for all codewords.
constexpr double kUnit = 0x1p-24;
constexpr double kExactUnit = 0x1p-46;
constexpr double kUnderflow = 0x1p-100;
constexpr double kLongest = 1e9;

// Squared distance exactly as FindNearestCodewords computes it: in double
// precision, component by component from the first. Called from functions
// compiled for the baseline only, where nothing fuses the multiply and add.
double ExactDistance(const float* blocked, int32_t c, const float* vector) {
    const float* word = blocked + (c / kBlockWords) * kBlockFloats + c % kBlockWords;
    double distance = 0;
    for (int32_t i = 0; i < kCodewordSize; ++i) {
        double difference = static_cast<double>(vector[i]) - word[i * kBlockWords];
        distance += difference * difference;
    }
    return distance;
}

// The first codeword of least distance, as FindNearestCodewords finds it;
// 0 when no distance is below the largest double.
uint8_t ExactNearest(const float* blocked, const float* vector) {
    uint8_t code = 0;
    double best = std::numeric_limits<double>::max();
    for (int32_t c = 0; c < kCodewords; ++c) {
        double distance = ExactDistance(blocked, c, vector);
        if (distance < best) {
            best = distance;
            code = static_cast<uint8_t>(c);
        }
    }
    return code;
}

// e_c = |c|^2 - 2 x.c for all codewords, 32 at a time so that eight sums run
// side by side; returns the least.
float EstimatePlain(const float* blocked, const float* lengths, const float* vector,
                    float* estimates) {
#if HARKBOX_NEAREST_VECTOR
    __m128 least = _mm_set1_ps(std::numeric_limits<float>::infinity());
    for (int32_t first = 0; first < kBlocks; first += 4) {
        const float* block = blocked + first * kBlockFloats;
        __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
        for (int32_t i = 0; i < kCodewordSize; ++i) {
            const __m128 x = _mm_set1_ps(vector[i]);
            const float* row = block + i * kBlockWords;
            a0 = _mm_add_ps(a0, _mm_mul_ps(x, _mm_loadu_ps(row)));
            a1 = _mm_add_ps(a1, _mm_mul_ps(x, _mm_loadu_ps(row + 4)));
            a2 = _mm_add_ps(a2, _mm_mul_ps(x, _mm_loadu_ps(row + kBlockFloats)));
            a3 = _mm_add_ps(a3, _mm_mul_ps(x, _mm_loadu_ps(row + kBlockFloats + 4)));
            a4 = _mm_add_ps(a4, _mm_mul_ps(x, _mm_loadu_ps(row + 2 * kBlockFloats)));
            a5 = _mm_add_ps(a5, _mm_mul_ps(x, _mm_loadu_ps(row + 2 * kBlockFloats + 4)));
            a6 = _mm_add_ps(a6, _mm_mul_ps(x, _mm_loadu_ps(row + 3 * kBlockFloats)));
            a7 = _mm_add_ps(a7, _mm_mul_ps(x, _mm_loadu_ps(row + 3 * kBlockFloats + 4)));
        }
        const __m128 sums[8] = {a0, a1, a2, a3, a4, a5, a6, a7};
        const int32_t word = first * kBlockWords;
        for (int32_t j = 0; j < 8; ++j) {
            __m128 length = _mm_loadu_ps(lengths + word + 4 * j);
            __m128 estimate = _mm_sub_ps(length, _mm_add_ps(sums[j], sums[j]));
            _mm_storeu_ps(estimates + word + 4 * j, estimate);
            least = _mm_min_ps(least, estimate);
        }
    }
    least = _mm_min_ps(least, _mm_movehl_ps(least, least));
    least = _mm_min_ss(least, _mm_shuffle_ps(least, least, 1));
    return _mm_cvtss_f32(least);
#else
    float least = std::numeric_limits<float>::infinity();
    for (int32_t c = 0; c < kCodewords; ++c) {
        const float* word = blocked + (c / kBlockWords) * kBlockFloats + c % kBlockWords;
        float dot = 0;
        for (int32_t i = 0; i < kCodewordSize; ++i)
            dot += vector[i] * word[i * kBlockWords];
        estimates[c] = lengths[c] - 2 * dot;
        least = estimates[c] < least ? estimates[c] : least;
    }
    return least;
#endif
}

#if HARKBOX_NEAREST_VECTOR

__attribute__((target("avx2,fma"))) inline float Least(__m256 values) {
    __m128 half = _mm_min_ps(_mm256_castps256_ps128(values), _mm256_extractf128_ps(values, 1));
    half = _mm_min_ps(half, _mm_movehl_ps(half, half));
    half = _mm_min_ss(half, _mm_shuffle_ps(half, half, 1));
    return _mm_cvtss_f32(half);
}

// The same with AVX2 and fused multiply-adds, 64 codewords at a time.
__attribute__((target("avx2,fma"))) float EstimateWide(const float* blocked, const float* lengths,
                                                       const float* vector, float* estimates) {
    __m256 least = _mm256_set1_ps(std::numeric_limits<float>::infinity());
    for (int32_t first = 0; first < kBlocks; first += 8) {
        const float* block = blocked + first * kBlockFloats;
        __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0,
               a7 = a0;
        for (int32_t i = 0; i < kCodewordSize; ++i) {
            const __m256 x = _mm256_broadcast_ss(vector + i);
            const float* row = block + i * kBlockWords;
            a0 = _mm256_fmadd_ps(x, _mm256_loadu_ps(row), a0);
            a1 = _mm256_fmadd_ps(x, _mm256_loadu_ps(row + kBlockFloats), a1);
            a2 = _mm256_fmadd_ps(x, _mm256_loadu_ps(row + 2 * kBlockFloats), a2);
            a3 = _mm256_fmadd_ps(x, _mm256_loadu_ps(row + 3 * kBlockFloats), a3);
            a4 = _mm256_fmadd_ps(x, _mm256_loadu_ps(row + 4 * kBlockFloats), a4);
            a5 = _mm256_fmadd_ps(x, _mm256_loadu_ps(row + 5 * kBlockFloats), a5);
            a6 = _mm256_fmadd_ps(x, _mm256_loadu_ps(row + 6 * kBlockFloats), a6);
            a7 = _mm256_fmadd_ps(x, _mm256_loadu_ps(row + 7 * kBlockFloats), a7);
        }
        const __m256 sums[8] = {a0, a1, a2, a3, a4, a5, a6, a7};
        const int32_t word = first * kBlockWords;
        for (int32_t j = 0; j < 8; ++j) {
            __m256 length = _mm256_loadu_ps(lengths + word + 8 * j);
            __m256 estimate = _mm256_sub_ps(length, _mm256_add_ps(sums[j], sums[j]));
            _mm256_storeu_ps(estimates + word + 8 * j, estimate);
            least = _mm256_min_ps(least, estimate);
        }
    }
    return Least(least);
}

// Four vectors at a time, for batches: each codeword value loaded serves all
// four, which quarters the traffic from the cache that holds the codebook
// (64 KiB, larger than most first-level caches), the bound of one vector
// alone. 16 codewords at a time keep eight sums side by side.
__attribute__((target("avx2,fma"))) void EstimateWideFour(const float* blocked,
                                                          const float* lengths,
                                                          const float* vectors,
                                                          float (*estimates)[kCodewords],
                                                          float* least) {
    const float* v0 = vectors;
    const float* v1 = v0 + kCodewordSize;
    const float* v2 = v1 + kCodewordSize;
    const float* v3 = v2 + kCodewordSize;
    const __m256 infinity = _mm256_set1_ps(std::numeric_limits<float>::infinity());
    __m256 l0 = infinity, l1 = infinity, l2 = infinity, l3 = infinity;
    for (int32_t first = 0; first < kBlocks; first += 2) {
        const float* block = blocked + first * kBlockFloats;
        __m256 a00 = _mm256_setzero_ps(), a01 = a00, a10 = a00, a11 = a00, a20 = a00, a21 = a00,
               a30 = a00, a31 = a00;
        for (int32_t i = 0; i < kCodewordSize; ++i) {
            const __m256 c0 = _mm256_loadu_ps(block + i * kBlockWords);
            const __m256 c1 = _mm256_loadu_ps(block + kBlockFloats + i * kBlockWords);
            __m256 x = _mm256_broadcast_ss(v0 + i);
            a00 = _mm256_fmadd_ps(x, c0, a00);
            a01 = _mm256_fmadd_ps(x, c1, a01);
            x = _mm256_broadcast_ss(v1 + i);
            a10 = _mm256_fmadd_ps(x, c0, a10);
            a11 = _mm256_fmadd_ps(x, c1, a11);
            x = _mm256_broadcast_ss(v2 + i);
            a20 = _mm256_fmadd_ps(x, c0, a20);
            a21 = _mm256_fmadd_ps(x, c1, a21);
            x = _mm256_broadcast_ss(v3 + i);
            a30 = _mm256_fmadd_ps(x, c0, a30);
            a31 = _mm256_fmadd_ps(x, c1, a31);
        }
        const int32_t word = first * kBlockWords;
        const __m256 length0 = _mm256_loadu_ps(lengths + word);
        const __m256 length1 = _mm256_loadu_ps(lengths + word + kBlockWords);
        auto finish = [&](__m256 sum0, __m256 sum1, float* to, __m256& runningLeast)
            __attribute__((target("avx2,fma"))) {
            __m256 e0 = _mm256_sub_ps(length0, _mm256_add_ps(sum0, sum0));
            __m256 e1 = _mm256_sub_ps(length1, _mm256_add_ps(sum1, sum1));
            _mm256_storeu_ps(to + word, e0);
            _mm256_storeu_ps(to + word + kBlockWords, e1);
            runningLeast = _mm256_min_ps(runningLeast, _mm256_min_ps(e0, e1));
        };
        finish(a00, a01, estimates[0], l0);
        finish(a10, a11, estimates[1], l1);
        finish(a20, a21, estimates[2], l2);
        finish(a30, a31, estimates[3], l3);
    }
    least[0] = Least(l0);
    least[1] = Least(l1);
    least[2] = Least(l2);
    least[3] = Least(l3);
}

bool ProcessorHasAvx2AndFma() {
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return has;
}

#endif

// |x|^2, four sums side by side: it only bounds the error.
double SquaredLength(const float* vector) {
    double sums[4] = {};
    for (int32_t i = 0; i < kCodewordSize; i += 4) {
        for (int32_t j = 0; j < 4; ++j)
            sums[j] += static_cast<double>(vector[i + j]) * vector[i + j];
    }
    return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

// False also for a vector that is not finite.
bool Estimable(double squaredLength) {
    return squaredLength <= kLongest * kLongest;
}

// The exact winner among the codewords whose estimate is close enough to
// the least, in codeword order.
uint8_t Choose(const float* blocked, double longest, const float* vector, double squaredLength,
               const float* estimates, float least) {
    const double x = std::sqrt(squaredLength);
    const double margin = 2 * (kUnit * (3 * longest * longest + 131 * x * longest) +
                               kExactUnit * (x + longest) * (x + longest) + kUnderflow);
    // Rounded up to the next float, so that no estimate within the limit
    // is left out.
    const float limit = std::nextafter(static_cast<float>(least + 2 * margin),
                                       std::numeric_limits<float>::infinity());

    // The candidates as bits, codeword c at bit c % 32 of word c / 32.
    uint32_t candidates[kCodewords / 32] = {};
#if HARKBOX_NEAREST_VECTOR
    const __m128 limits = _mm_set1_ps(limit);
    for (int32_t c = 0; c < kCodewords; c += 4) {
        int32_t bits = _mm_movemask_ps(_mm_cmple_ps(_mm_loadu_ps(estimates + c), limits));
        candidates[c / 32] |= static_cast<uint32_t>(bits) << (c % 32);
    }
#else
    for (int32_t c = 0; c < kCodewords; ++c) {
        if (estimates[c] <= limit)
            candidates[c / 32] |= 1u << (c % 32);
    }
#endif
    uint8_t code = 0;
    double best = std::numeric_limits<double>::max();
    for (int32_t word = 0; word < kCodewords / 32; ++word) {
        for (uint32_t bits = candidates[word]; bits != 0; bits &= bits - 1) {
            const int32_t candidate = 32 * word + std::countr_zero(bits);
            const double distance = ExactDistance(blocked, candidate, vector);
            if (distance < best) {
                best = distance;
                code = static_cast<uint8_t>(candidate);
            }
        }
    }
    return code;
}

}  // namespace

NearestCodeword::NearestCodeword(const float* codebook, VectorInstructions instructions)
    : blocked_(std::make_unique<float[]>(static_cast<size_t>(kCodebookFloats))) {
    bool finite = true;
    for (int32_t c = 0; c < kCodewords; ++c) {
        const float* word = codebook + static_cast<size_t>(c) * kCodewordSize;
        double length = 0;
        for (int32_t i = 0; i < kCodewordSize; ++i) {
            blocked_[(c / kBlockWords) * kBlockFloats + i * kBlockWords + c % kBlockWords] =
                word[i];
            length += static_cast<double>(word[i]) * word[i];
        }
        finite = finite && std::isfinite(length);
        lengths_[c] = static_cast<float>(length);
        longest_ = std::fmax(longest_, std::sqrt(length));
    }
    estimates_ = finite && longest_ <= kLongest;
#if HARKBOX_NEAREST_VECTOR
    wide_ = instructions == VectorInstructions::kBest && ProcessorHasAvx2AndFma();
#else
    static_cast<void>(instructions);
#endif
}

NearestCodeword::~NearestCodeword() = default;

uint8_t NearestCodeword::Nearest(const float* vector) const {
    const double squaredLength = SquaredLength(vector);
    if (!estimates_ || !Estimable(squaredLength))
        return ExactNearest(blocked_.get(), vector);
    alignas(32) float estimates[kCodewords];
#if HARKBOX_NEAREST_VECTOR
    const float least = wide_ ? EstimateWide(blocked_.get(), lengths_, vector, estimates)
                              : EstimatePlain(blocked_.get(), lengths_, vector, estimates);
#else
    const float least = EstimatePlain(blocked_.get(), lengths_, vector, estimates);
#endif
    return Choose(blocked_.get(), longest_, vector, squaredLength, estimates, least);
}

void NearestCodeword::NearestBatch(const float* vectors, int32_t count, uint8_t* out) const {
    int32_t v = 0;
#if HARKBOX_NEAREST_VECTOR
    if (wide_ && estimates_) {
        for (; v + 4 <= count; v += 4) {
            const float* four = vectors + static_cast<size_t>(v) * kCodewordSize;
            double squaredLengths[4];
            bool estimable = true;
            for (int32_t j = 0; j < 4; ++j) {
                squaredLengths[j] = SquaredLength(four + j * kCodewordSize);
                estimable = estimable && Estimable(squaredLengths[j]);
            }
            if (!estimable) {
                for (int32_t j = 0; j < 4; ++j)
                    out[v + j] = Nearest(four + j * kCodewordSize);
                continue;
            }
            alignas(32) float estimates[4][kCodewords];
            float least[4];
            EstimateWideFour(blocked_.get(), lengths_, four, estimates, least);
            for (int32_t j = 0; j < 4; ++j)
                out[v + j] = Choose(blocked_.get(), longest_, four + j * kCodewordSize,
                                    squaredLengths[j], estimates[j], least[j]);
        }
    }
#endif
    for (; v < count; ++v)
        out[v] = Nearest(vectors + static_cast<size_t>(v) * kCodewordSize);
}

}  // namespace quil
