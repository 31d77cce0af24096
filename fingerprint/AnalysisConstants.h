#pragma once

#include <cstdint>

namespace quil {

// The analysis runs at one rate with a 2048-point transform; every constant
// below follows from those two (a bin is 44100 / 2048 = 21.533203125 Hz).
inline constexpr double kAnalysisRate = 44100.0;  // Hz, any other rate is refused
inline constexpr int32_t kFrameSize = 2048;       // samples per transform (46.4 ms)
inline constexpr int32_t kHopSize = 1024;         // new samples per hop (23.2 ms)
inline constexpr int32_t kMagnitudeBins = 232;    // the bins below 5000 Hz
inline constexpr int32_t kBandCount = 64;         // bands of two bins each
inline constexpr int32_t kFirstBandBin = 24;      // band k: bins 24 + 2k, 25 + 2k
inline constexpr int32_t kHarmonicBases = 58;     // kMagnitudeBins / 4
inline constexpr int32_t kHistoryHops = 64;       // hops in the running band mean
inline constexpr int32_t kSegmentRows = 4;        // rows per segment
inline constexpr int32_t kRowHops = 8;            // hops averaged into one row
inline constexpr int32_t kRowSpacing = 32;        // hops between row starts
inline constexpr int32_t kSegmentHops = 104;      // a segment is finished at this age
// Compared in single precision, so that a sample of 0.1 (as a float) is not
// above it.
inline constexpr float kSignalThreshold = 0.1f;  // full scale 1
inline constexpr double kRiseFactor = 10.0;
inline constexpr double kRearmRatio = 0.4;
inline constexpr double kFloorRatio = 0.2;  // of the RMS magnitude
inline constexpr double kMinimumFloor = 0.01;
inline constexpr int32_t kMaxCandidates = 255;  // codeword candidates per row (m)

}  // namespace quil
