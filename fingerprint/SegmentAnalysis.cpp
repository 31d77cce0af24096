#include "fingerprint/SegmentAnalysis.h"

#include <cstring>
#include <limits>
#include <memory>

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/BandAnalyzer.h"
#include "fingerprint/BandHistory.h"
#include "fingerprint/OnsetDetector.h"
#include "fingerprint/SegmentAccumulator.h"

namespace quil {

namespace {

// Everything one analysis works with, allocated once when it starts.
struct AnalysisState {
    float frame[kFrameSize] = {};  // the newest kHopSize samples in the upper half
    BandAnalyzer analyzer;
    BandHistory history;
    OnsetDetector onsets;
    SegmentAccumulator segments;
};

// The first sample strictly above the threshold counts; the scan looks at
// positive excursions only.
bool HasSignal(const float* samples, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        if (samples[i] > kSignalThreshold)
            return true;
    }
    return false;
}

}  // namespace

int AnalyseSegments(SampleSource& source, void* sinkContext, SegmentSink sink,
                    const FingerprintOptions* options) {
    if (source.sampleRate != kAnalysisRate)
        return -1;
    FingerprintPoll poll = options ? options->poll : nullptr;
    void* pollContext = options ? options->pollContext : nullptr;
    uint8_t* signalSeen = options ? options->signalSeen : nullptr;

    auto state = std::make_unique<AnalysisState>();
    if (signalSeen)
        *signalSeen = 0;

    float* newest = state->frame + (kFrameSize - kHopSize);
    for (int32_t hop = 0; source.open; ++hop) {
        if (poll) {
            int result = poll(pollContext);
            if (result != 0)
                return result;
        }
        if (source.Read(kHopSize, newest) != 0)
            break;
        if (signalSeen && *signalSeen == 0 && HasSignal(newest, kHopSize))
            *signalSeen = 1;

        state->analyzer.Analyse(state->frame);
        state->history.Add(state->analyzer.bands());
        if (state->onsets.Process(state->analyzer.magnitudes()))
            state->segments.Open(hop);
        int result = state->segments.Advance(hop, state->analyzer.bands(), state->history, sink,
                                             sinkContext);
        if (result != 0)
            return result;

        std::memmove(state->frame, newest, sizeof(float) * kHopSize);
        // The hop counter is what the segments carry as their start; it
        // must not wrap (after about 1.6 years of sound).
        if (hop == std::numeric_limits<int32_t>::max())
            break;
    }
    return 0;
}

}  // namespace quil
