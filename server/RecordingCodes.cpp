#include "server/RecordingCodes.h"

#include <cstring>
#include <memory>

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/BandAnalyzer.h"
#include "fingerprint/BandHistory.h"
#include "fingerprint/Codebooks.h"
#include "fingerprint/NearestCodeword.h"

namespace quil {

namespace {

// Row r of a segment starts kRowSpacing * r hops after the segment.
constexpr int32_t kLastRowStart = (kSegmentRows - 1) * kRowSpacing;

// What one analysis works with; large, so it lives on the heap.
struct DenseState {
    // The fast search gives exactly the plain search's nearest codeword.
    NearestCodeword book0{Codebook(0)};
    NearestCodeword book1{Codebook(1)};
    float frame[kFrameSize] = {};
    BandAnalyzer analyzer;
    BandHistory history;
    // The last kRowHops hops' contributions 0.125 x (band - running mean),
    // in double precision as the client adds them.
    double recent[kRowHops][kBandCount] = {};
};

}  // namespace

int32_t RecordingCodes::segments() const {
    int32_t count = rowAverages() - kLastRowStart;
    return count > 0 ? count : 0;
}

SegmentCodes RecordingCodes::At(int32_t frame) const {
    const size_t f = static_cast<size_t>(frame);
    return {
        {book0[f], book1[f + kRowSpacing], book1[f + 2 * kRowSpacing], book1[f + kLastRowStart]}};
}

int AnalyseRecording(SampleSource& source, RecordingCodes& codes) {
    codes.book0.clear();
    codes.book1.clear();
    if (source.sampleRate != kAnalysisRate)
        return -1;
    auto state = std::make_unique<DenseState>();
    float* newest = state->frame + (kFrameSize - kHopSize);
    if (source.TotalLength() > 0) {
        size_t hops = static_cast<size_t>(source.TotalLength() / kHopSize + 1);
        codes.book0.reserve(hops);
        codes.book1.reserve(hops);
    }

    for (int64_t hop = 0; source.open; ++hop) {
        if (source.Read(kHopSize, newest) != 0)
            break;
        state->analyzer.Analyse(state->frame);
        state->history.Add(state->analyzer.bands());
        double* contribution = state->recent[hop % kRowHops];
        const float* bands = state->analyzer.bands();
        for (int32_t k = 0; k < kBandCount; ++k)
            contribution[k] = 0.125 * (bands[k] - state->history.mean(k));
        std::memmove(state->frame, newest, sizeof(float) * kHopSize);
        if (hop + 1 < kRowHops)
            continue;

        // The row that began kRowHops - 1 hops ago is complete: add its
        // hops in order, rounding to float after each step, then remove
        // its mean, exactly as a segment's row is made.
        float row[kBandCount] = {};
        for (int64_t h = hop + 1 - kRowHops; h <= hop; ++h) {
            const double* part = state->recent[h % kRowHops];
            for (int32_t k = 0; k < kBandCount; ++k)
                row[k] = static_cast<float>(row[k] + part[k]);
        }
        double sum = 0;
        for (float value : row)
            sum += value;
        const double mean = sum / kBandCount;
        for (float& value : row)
            value = static_cast<float>(value - mean);
        codes.book0.push_back(state->book0.Nearest(row));
        codes.book1.push_back(state->book1.Nearest(row));
    }
    return 0;
}

}  // namespace quil
