// Costs of the signal analysis: the transform, one hop through the stages,
// one segment's quantisation, the whole analysis over a minute of music-like
// sound, and the nearest codeword of a row as catalogue indexing needs it.
// Capture needs a hop in well under the 23.2 ms that 1024 samples take to
// arrive; indexing whole catalogues on one core sets the target at 2000
// times real time for the analysis, 11.6 us a hop.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/BandAnalyzer.h"
#include "fingerprint/BandHistory.h"
#include "fingerprint/Codebooks.h"
#include "fingerprint/Fft.h"
#include "fingerprint/Fingerprint.h"
#include "fingerprint/NearestCodeword.h"
#include "fingerprint/OnsetDetector.h"
#include "fingerprint/Quantiser.h"
#include "fingerprint/SegmentAccumulator.h"
#include "fingerprint/SegmentAnalysis.h"
#include "tests/fingerprint/MemorySource.h"
#include "tests/fingerprint/ReferenceAnalysis.h"
#include "tests/fingerprint/TestSignals.h"

namespace quil {
namespace {

// Music-like sound, the benchmark's fixed input: a melody of harmonic notes
// changing every 12 hops, a bass line, and noise-burst drum hits every 16
// hops with a short decay.
std::vector<float> MusicLikeSignal(double seconds, uint64_t seed = 1) {
    const double rate = 44100.0;
    constexpr int32_t kHop = test::kHop;
    std::vector<float> samples(static_cast<size_t>(seconds * rate));
    test::Noise noise(seed);
    const double scale[8] = {261.6, 293.7, 329.6, 392.0, 440.0, 523.3, 587.3, 659.3};
    double phase = 0;
    double bassPhase = 0;
    for (size_t n = 0; n < samples.size(); ++n) {
        double frequency = scale[(n / kHop / 12 * 5 + seed) % 8];
        phase += 2.0 * std::numbers::pi * frequency / rate;
        bassPhase += 2.0 * std::numbers::pi * frequency / 4.0 / rate;
        double envelope = std::exp(-3.0 * static_cast<double>(n % (12 * kHop)) / rate);
        double value = 0;
        for (int harmonic = 1; harmonic <= 5; ++harmonic)
            value += envelope * 0.08 / harmonic * std::sin(harmonic * phase);
        value += 0.1 * std::sin(bassPhase);
        double inBeat = static_cast<double>(n % (16 * kHop)) / rate;
        samples[n] = static_cast<float>(value + noise.Next(0.4f) * std::exp(-40.0 * inBeat));
    }
    return samples;
}

void BM_FingerprintTransform2048(benchmark::State& state) {
    Fft fft(kFrameSize);
    std::vector<float> frame = MusicLikeSignal(0.05);
    frame.resize(kFrameSize);
    std::vector<FftComplex> spectrum(kFrameSize);
    for (auto _ : state) {
        fft.ForwardReal(frame.data(), spectrum.data());
        benchmark::DoNotOptimize(spectrum.data());
    }
}
BENCHMARK(BM_FingerprintTransform2048);

// The plain loop the transform must match bit for bit, for comparison.
void BM_FingerprintTransform2048Plain(benchmark::State& state) {
    Fft fft(kFrameSize);
    std::vector<float> frame = MusicLikeSignal(0.05);
    frame.resize(kFrameSize);
    std::vector<FftComplex> spectrum(kFrameSize);
    for (auto _ : state) {
        for (int32_t i = 0; i < kFrameSize; ++i)
            spectrum[i] = {frame[i] * fft.Window()[i], 0.0f};
        test::ReferenceTransform(spectrum.data(), kFrameSize, false);
        benchmark::DoNotOptimize(spectrum.data());
    }
}
BENCHMARK(BM_FingerprintTransform2048Plain);

// One hop with four segments accumulating: transform, magnitudes, bands,
// band means, onset detection and segment rows.
void BM_FingerprintHop(benchmark::State& state) {
    std::vector<float> samples = MusicLikeSignal(3.0);
    const size_t hops = samples.size() / kHopSize - 1;
    BandAnalyzer analyzer;
    BandHistory history;
    OnsetDetector onsets;
    SegmentAccumulator segments;
    for (int32_t start = 0; start < 4; ++start)
        segments.Open(start * 2);
    size_t hop = 0;
    for (auto _ : state) {
        const float* frame = samples.data() + (hop % hops) * kHopSize;
        analyzer.Analyse(frame);
        history.Add(analyzer.bands());
        benchmark::DoNotOptimize(onsets.Process(analyzer.magnitudes()));
        // Hops 0-7 of each segment, so every one adds a row each time.
        segments.Advance(static_cast<int32_t>(hop % 2), analyzer.bands(), history, nullptr,
                         nullptr);
        ++hop;
    }
}
BENCHMARK(BM_FingerprintHop);

void BM_FingerprintQuantiseSegment(benchmark::State& state) {
    test::Noise noise(4);
    float rows[4][64];
    for (auto& row : rows) {
        for (float& value : row)
            value = noise.Next(0.7f);
    }
    const int32_t m = static_cast<int32_t>(state.range(0));
    std::vector<uint8_t> codes(4 * m);
    std::vector<double> distances(4 * m);
    for (auto _ : state) {
        QuantiseSegment(rows, m, codes.data(), distances.data());
        benchmark::DoNotOptimize(codes.data());
    }
}
BENCHMARK(BM_FingerprintQuantiseSegment)->Arg(1)->Arg(4)->Arg(32);

int CountSegments(void* context, int32_t, const uint8_t*, const double*, int32_t) {
    ++*static_cast<int64_t*>(context);
    return 0;
}

// The whole analysis over 60 s of sound; "realtime" is seconds of sound
// analysed per second of work.
void BM_FingerprintMinute(benchmark::State& state) {
    const double seconds = 60.0;
    std::vector<float> samples = MusicLikeSignal(seconds);
    int64_t segments = 0;
    FingerprintOptions options;
    options.candidates = 4;
    for (auto _ : state) {
        MemorySource source(samples);
        segments = 0;
        benchmark::DoNotOptimize(ComputeFingerprint(source, &segments, &CountSegments, &options));
    }
    state.counters["realtime"] = benchmark::Counter(
        seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["segments"] = static_cast<double>(segments);
}
BENCHMARK(BM_FingerprintMinute)->Unit(benchmark::kMillisecond);

// The rows of every segment of 30 s of music-like sound, each with the
// codebook it is quantised against.
struct BenchRows {
    std::vector<float> values;  // 64 per row
    std::vector<int32_t> books;

    BenchRows() {
        MemorySource source(MusicLikeSignal(30.0));
        AnalyseSegments(source, this, &Collect, nullptr);
    }
    static int Collect(void* context, const Segment& segment) {
        auto* self = static_cast<BenchRows*>(context);
        for (int32_t r = 0; r < 4; ++r) {
            self->values.insert(self->values.end(), segment.rows[r], segment.rows[r] + 64);
            self->books.push_back(r == 0 ? 0 : 1);
        }
        return 0;
    }
    size_t count() const { return books.size(); }
    const float* row(size_t index) const { return values.data() + 64 * index; }
    // The rows of one codebook, one after the other.
    std::vector<float> OfBook(int32_t book) const {
        std::vector<float> rows;
        for (size_t index = 0; index < count(); ++index) {
            if (books[index] == book)
                rows.insert(rows.end(), row(index), row(index) + 64);
        }
        return rows;
    }
};

// The nearest codeword of one row, which indexing a catalogue needs for
// every hop against both codebooks: the exhaustive scan in double precision,
// then the exact kernel with the widest instructions (0) and with the
// baseline (1); one row per iteration.
void BM_NearestCodewordPlain(benchmark::State& state) {
    BenchRows rows;
    size_t index = 0;
    for (auto _ : state) {
        uint8_t code;
        double distance;
        const size_t row = index++ % rows.count();
        FindNearestCodewords(rows.row(row), Codebook(rows.books[row]), 1, &code, &distance);
        benchmark::DoNotOptimize(code);
    }
}
BENCHMARK(BM_NearestCodewordPlain);

void BM_NearestCodewordFast(benchmark::State& state) {
    BenchRows rows;
    const VectorInstructions instructions =
        state.range(0) == 0 ? VectorInstructions::kBest : VectorInstructions::kBaseline;
    NearestCodeword books[2] = {NearestCodeword(Codebook(0), instructions),
                                NearestCodeword(Codebook(1), instructions)};
    size_t index = 0;
    for (auto _ : state) {
        const size_t row = index++ % rows.count();
        benchmark::DoNotOptimize(books[rows.books[row]].Nearest(rows.row(row)));
    }
}
BENCHMARK(BM_NearestCodewordFast)->Arg(0)->Arg(1);

// All rows of the 30 s in two batches, one per codebook; "row" is the time
// per row.
void BM_NearestCodewordBatch(benchmark::State& state) {
    BenchRows rows;
    const VectorInstructions instructions =
        state.range(0) == 0 ? VectorInstructions::kBest : VectorInstructions::kBaseline;
    std::vector<float> ofBook[2] = {rows.OfBook(0), rows.OfBook(1)};
    NearestCodeword books[2] = {NearestCodeword(Codebook(0), instructions),
                                NearestCodeword(Codebook(1), instructions)};
    std::vector<uint8_t> codes(rows.count());
    for (auto _ : state) {
        for (int32_t book = 0; book < 2; ++book)
            books[book].NearestBatch(ofBook[book].data(),
                                     static_cast<int32_t>(ofBook[book].size() / 64), codes.data());
        benchmark::DoNotOptimize(codes.data());
    }
    state.counters["row"] = benchmark::Counter(
        static_cast<double>(rows.count()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_NearestCodewordBatch)->Arg(0)->Arg(1);

}  // namespace
}  // namespace quil
