// Costs of the signal analysis: one hop through the stages, one segment's
// quantisation, and the whole analysis over a minute of music-like sound.
// The analysis keeps pace with capture when a hop takes well under the
// 23.2 ms that 1024 samples take to arrive; the target is 500 times real
// time, about 46 us a hop.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/BandAnalyzer.h"
#include "fingerprint/BandHistory.h"
#include "fingerprint/Fft.h"
#include "fingerprint/Fingerprint.h"
#include "fingerprint/OnsetDetector.h"
#include "fingerprint/Quantiser.h"
#include "fingerprint/SegmentAccumulator.h"
#include "tests/fingerprint/MemorySource.h"
#include "tests/fingerprint/TestSignals.h"

namespace quil {
namespace {

void BM_FingerprintTransform2048(benchmark::State& state) {
    Fft fft(kFrameSize);
    std::vector<float> frame = test::MusicLikeSignal(0.05);
    frame.resize(kFrameSize);
    std::vector<FftComplex> spectrum(kFrameSize);
    for (auto _ : state) {
        fft.ForwardReal(frame.data(), spectrum.data());
        benchmark::DoNotOptimize(spectrum.data());
    }
}
BENCHMARK(BM_FingerprintTransform2048);

// One hop with four segments accumulating: transform, magnitudes, bands,
// band means, onset detection and segment rows.
void BM_FingerprintHop(benchmark::State& state) {
    std::vector<float> samples = test::MusicLikeSignal(3.0);
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
    std::vector<float> samples = test::MusicLikeSignal(seconds);
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

}  // namespace
}  // namespace quil
