#pragma once

#include <cstdint>

#include "fingerprint/Fingerprint.h"
#include "fingerprint/SampleSource.h"

namespace quil {

// One finished segment before quantisation: four rows of 64 band values,
// each row made zero-mean, and the hop at which the segment began.
struct Segment {
    float rows[4][64];
    int32_t startFrame;
};

// Receives each finished segment in order of start frames; 0 continues,
// any other value stops the analysis and becomes its result.
using SegmentSink = int (*)(void* context, const Segment& segment);

// The analysis stage of ComputeFingerprint without the quantisation: the
// same hops, onsets and segments, handed over as rows. ComputeFingerprint
// is this stage followed by QuantiseSegment and the send callback; the
// codebook trainer uses the rows directly. Options as for
// ComputeFingerprint (candidates unused). Results as for ComputeFingerprint.
int AnalyseSegments(SampleSource& source, void* sinkContext, SegmentSink sink,
                    const FingerprintOptions* options);

}  // namespace quil
