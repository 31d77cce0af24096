#include "fingerprint/SegmentAccumulator.h"

namespace quil {

namespace {

// Each row becomes zero-mean, as the codewords are.
void RemoveRowMeans(Segment& segment) {
    for (auto& row : segment.rows) {
        double sum = 0;
        for (float value : row)
            sum += value;
        double mean = sum / kBandCount;
        for (float& value : row)
            value = static_cast<float>(value - mean);
    }
}

}  // namespace

SegmentAccumulator::SegmentAccumulator() : ring_(std::make_unique<Segment[]>(kCapacity)) {}

bool SegmentAccumulator::Open(int32_t hop) {
    if (count_ == kCapacity)
        return false;
    Segment& segment = at(count_);
    segment = Segment{};
    segment.startFrame = hop;
    ++count_;
    return true;
}

int SegmentAccumulator::Advance(int32_t hop, const float* bands, const BandHistory& history,
                                SegmentSink sink, void* sinkContext) {
    // Segments are ordered by start, so the finished ones are at the front.
    for (int32_t index = 0; index < count_;) {
        Segment& segment = at(index);
        int64_t age = static_cast<int64_t>(hop) - segment.startFrame;
        if (age >= kSegmentHops) {
            RemoveRowMeans(segment);
            if (sink) {
                int result = sink(sinkContext, segment);
                if (result != 0)
                    return result;
            }
            head_ = (head_ + 1) % kCapacity;
            --count_;
            continue;
        }
        if (age >= 0 && (age / kRowHops) % (kRowSpacing / kRowHops) == 0) {
            float* row = segment.rows[age / kRowSpacing];
            for (int32_t k = 0; k < kBandCount; ++k)
                row[k] = static_cast<float>(row[k] + 0.125 * (bands[k] - history.mean(k)));
        }
        ++index;
    }
    return 0;
}

}  // namespace quil
