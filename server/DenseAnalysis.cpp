#include "server/DenseAnalysis.h"

#include <cstring>

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/BandAnalyzer.h"
#include "fingerprint/BandHistory.h"
#include "fingerprint/Codebooks.h"
#include "fingerprint/NearestCodeword.h"

namespace quil {

struct DenseAnalysis::State {
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

DenseAnalysis::DenseAnalysis(std::vector<uint8_t>& book0, std::vector<uint8_t>& book1)
    : state_(std::make_unique<State>()), book0_(book0), book1_(book1) {}

DenseAnalysis::~DenseAnalysis() = default;

void DenseAnalysis::Add(const float* hop) {
    State& s = *state_;
    float* newest = s.frame + (kFrameSize - kHopSize);
    std::memcpy(newest, hop, sizeof(float) * kHopSize);
    s.analyzer.Analyse(s.frame);
    s.history.Add(s.analyzer.bands());
    double* contribution = s.recent[hops_ % kRowHops];
    const float* bands = s.analyzer.bands();
    for (int32_t k = 0; k < kBandCount; ++k)
        contribution[k] = 0.125 * (bands[k] - s.history.mean(k));
    std::memmove(s.frame, newest, sizeof(float) * kHopSize);
    ++hops_;
    if (hops_ < kRowHops)
        return;

    // The row that began kRowHops - 1 hops ago is complete: add its hops in
    // order, rounding to float after each step, then remove its mean,
    // exactly as a segment's row is made.
    float row[kBandCount] = {};
    for (int64_t h = hops_ - kRowHops; h < hops_; ++h) {
        const double* part = s.recent[h % kRowHops];
        for (int32_t k = 0; k < kBandCount; ++k)
            row[k] = static_cast<float>(row[k] + part[k]);
    }
    double sum = 0;
    for (float value : row)
        sum += value;
    const double mean = sum / kBandCount;
    for (float& value : row)
        value = static_cast<float>(value - mean);
    book0_.push_back(s.book0.Nearest(row));
    book1_.push_back(s.book1.Nearest(row));
}

}  // namespace quil
