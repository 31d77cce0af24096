#include "server/RecordingCodes.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <iterator>
#include <memory>

#include "fingerprint/AnalysisConstants.h"
#include "server/DenseAnalysis.h"
#include "server/GaussianNoise.h"

namespace quil {

namespace {

// Row r of a segment starts kRowSpacing * r hops after the segment.
constexpr int32_t kLastRowStart = (kSegmentRows - 1) * kRowSpacing;

// The noise of a hop is scaled to the sound's RMS over this many hops on
// either side (five seconds): about what an excerpt of ten or twenty
// seconds measures its level over.
constexpr int64_t kHalfWindow = 215;

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

SegmentCodes RecordingCodes::NoisyAt(int32_t frame, size_t track) const {
    const size_t f = static_cast<size_t>(frame);
    const Track& t = noisy[track];
    return {{t.book0[f], t.book1[f + kRowSpacing], t.book1[f + 2 * kRowSpacing],
             t.book1[f + kLastRowStart]}};
}

int AnalyseRecording(SampleSource& source, RecordingCodes& codes) {
    codes.book0.clear();
    codes.book1.clear();
    codes.noisy.clear();
    if (source.sampleRate != kAnalysisRate)
        return -1;
    if (source.TotalLength() > 0) {
        const size_t hops = static_cast<size_t>(source.TotalLength() / kHopSize + 1);
        codes.book0.reserve(hops);
        codes.book1.reserve(hops);
    }
    DenseAnalysis analysis(codes.book0, codes.book1);
    std::vector<float> hop(kHopSize);
    while (source.open && source.Read(kHopSize, hop.data()) == 0)
        analysis.Add(hop.data());
    return 0;
}

int AnalyseRecordingWithNoise(SampleSource& source, uint64_t seed, RecordingCodes& codes) {
    codes.book0.clear();
    codes.book1.clear();
    constexpr size_t kTracks = std::size(kNoiseLevelsDb);
    codes.noisy.assign(kTracks, {});
    if (source.sampleRate != kAnalysisRate)
        return -1;
    DenseAnalysis clean(codes.book0, codes.book1);
    std::vector<std::unique_ptr<DenseAnalysis>> noisy;
    std::vector<GaussianNoise> noises;
    for (size_t t = 0; t < kTracks; ++t) {
        noisy.push_back(
            std::make_unique<DenseAnalysis>(codes.noisy[t].book0, codes.noisy[t].book1));
        noises.emplace_back(seed + t);
    }

    // Hops are read kHalfWindow ahead of the one analysed, so that its
    // noise level sees the sound on both sides; `energy` holds the running
    // sum of the hops' squared samples, `ahead` the samples not analysed yet.
    std::vector<double> energy{0.0};
    std::deque<std::vector<float>> ahead;
    bool ended = false;
    std::vector<float> mixed(kHopSize);
    for (int64_t hop = 0;; ++hop) {
        while (!ended && static_cast<int64_t>(energy.size()) - 1 <= hop + kHalfWindow) {
            std::vector<float> samples(kHopSize);
            if (!source.open || source.Read(kHopSize, samples.data()) != 0) {
                ended = true;
                break;
            }
            double sum = 0;
            for (float s : samples)
                sum += static_cast<double>(s) * s;
            energy.push_back(energy.back() + sum);
            ahead.push_back(std::move(samples));
        }
        if (ahead.empty())
            break;
        const int64_t read = static_cast<int64_t>(energy.size()) - 1;
        const int64_t first = std::max<int64_t>(hop - kHalfWindow, 0);
        const int64_t last = std::min(read, hop + kHalfWindow + 1);
        const double rms =
            std::sqrt((energy[static_cast<size_t>(last)] - energy[static_cast<size_t>(first)]) /
                      static_cast<double>((last - first) * kHopSize));
        const std::vector<float>& samples = ahead.front();
        clean.Add(samples.data());
        for (size_t t = 0; t < kTracks; ++t) {
            const double deviation = rms * std::pow(10.0, -kNoiseLevelsDb[t] / 20.0);
            for (int32_t i = 0; i < kHopSize; ++i)
                mixed[static_cast<size_t>(i)] = static_cast<float>(samples[static_cast<size_t>(i)] +
                                                                   deviation * noises[t].Next());
            noisy[t]->Add(mixed.data());
        }
        ahead.pop_front();
    }
    return 0;
}

}  // namespace quil
