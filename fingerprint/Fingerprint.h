#pragma once

#include <cstdint>

#include "fingerprint/SampleSource.h"

namespace quil {

// Called once at the start of every hop; 0 continues, any other value stops
// the analysis and becomes its result.
using FingerprintPoll = int (*)(void* context);

// The caller's choices for one analysis; the whole record may be absent.
struct FingerprintOptions {
    uint32_t modeFlags = 0;          // 0: the onset-driven analysis
    int32_t candidates = 0;          // nearest codewords kept per row (m); 0 means 1
    FingerprintPoll poll = nullptr;  // may be null
    void* pollContext = nullptr;     // passed to poll unchanged
    uint8_t* signalSeen = nullptr;   // may be null; cleared at start, set to 1 by a sample > 0.1
};

// Receives each finished segment's codes as they are made: `codes` holds
// 4 x m codeword numbers and `distances` 4 x m squared distances, row after
// row (candidate j of row r at r * m + j); `startFrame` is the hop at which
// the segment began (1024 samples at 44 100 Hz per hop). 0 continues, any
// other value stops the analysis and becomes its result.
using FingerprintSend = int (*)(void* context, int32_t m, const uint8_t* codes,
                                const double* distances, int32_t startFrame);

// Analyses `source` hop by hop until it closes or a read fails (0), or a
// callback stops it (that callback's value). -1 when the source's rate is
// not exactly 44 100 Hz, when the candidates are outside 0 to 255 or `send`
// is null (nothing is allocated or read then). Candidates 0 or absent
// options mean m = 1.
int ComputeFingerprint(SampleSource& source, void* sendContext, FingerprintSend send,
                       const FingerprintOptions* options);

}  // namespace quil
