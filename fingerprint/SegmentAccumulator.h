#pragma once

#include <memory>

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/BandHistory.h"
#include "fingerprint/SegmentAnalysis.h"

namespace quil {

// The open segments of one analysis, oldest first. A segment opened at hop s
// adds 0.125 x (band value - band mean) of hops s+0..7, s+32..39, s+64..71
// and s+96..103 to rows 0 to 3, and is finished at hop s+104: each row is
// made zero-mean and the segment handed to the sink. The segments live in a
// ring allocated once, large enough for one onset per hop.
class SegmentAccumulator {
  public:
    // Segments alive at once: onset hops s..s+104 of one finishing hop.
    static constexpr int32_t kCapacity = kSegmentHops + 1;

    SegmentAccumulator();

    // Opens a zeroed segment starting at `hop`; hops must not decrease.
    // False (nothing opened) when kCapacity segments are already open.
    bool Open(int32_t hop);

    // Accumulates one hop's `bands` (kBandCount values) minus `history`'s
    // means into the segments that take this hop, then finishes those aged
    // kSegmentHops or more, oldest first, calling `sink` for each. Returns
    // the first non-zero sink result (the segment then stays open), else 0.
    int Advance(int32_t hop, const float* bands, const BandHistory& history, SegmentSink sink,
                void* sinkContext);

    int32_t openCount() const { return count_; }

  private:
    Segment& at(int32_t index) { return ring_[(head_ + index) % kCapacity]; }

    std::unique_ptr<Segment[]> ring_;
    int32_t head_ = 0;
    int32_t count_ = 0;
};

}  // namespace quil
