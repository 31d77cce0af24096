#pragma once

#include <cstdint>
#include <vector>

#include "fingerprint/SampleSource.h"

namespace quil {

// The four codes of one segment, rows 0 to 3.
struct SegmentCodes {
    uint8_t rows[4];
};

// The dense fingerprint of one recording, as the catalogue keeps it. A
// client's segment rows depend only on the sound (the band values and their
// 64-hop running mean), never on where its onset detector put the segment;
// so the catalogue makes a segment at every hop, and any segment a client
// sends has its twin here at the same hop of the recording.
//
// For every hop h whose row average exists: the nearest codeword of
// codebook 0 and of codebook 1 to the zero-mean average of the
// mean-removed band values of hops h to h + 7. A segment starting at hop f
// has the codes (book0[f], book1[f + 32], book1[f + 64], book1[f + 96]),
// bit for bit what the client computes for a segment there.
struct RecordingCodes {
    std::vector<uint8_t> book0;  // one per row average, by hop
    std::vector<uint8_t> book1;
    // The same codes of the recording with white noise added (one track per
    // level of kNoiseLevelsDb), each as long as book0: what a client hears
    // in a noisy room differs from the clean recording in a way the
    // catalogue can foresee, so a noisy query is scored against these too.
    struct Track {
        std::vector<uint8_t> book0;
        std::vector<uint8_t> book1;
    };
    std::vector<Track> noisy;

    int32_t rowAverages() const { return static_cast<int32_t>(book0.size()); }
    // Hops at which a whole segment starts: 0 to segments() - 1.
    int32_t segments() const;
    // The codes of the segment starting at `frame` (0 <= frame < segments()).
    SegmentCodes At(int32_t frame) const;
    // The same for noisy track `track` (0 to noisy.size() - 1).
    SegmentCodes NoisyAt(int32_t frame, size_t track) const;
};

// Signal-to-noise ratios (dB, against the sound's RMS over about ten
// seconds around each hop) of the noisy tracks the catalogue keeps.
inline constexpr double kNoiseLevelsDb[] = {5.0, 0.0};

// Analyses `source` from its first sample until it closes or a read fails,
// as the client's analysis would, and fills `codes` (without noisy
// tracks). -1 when the source's rate is not 44 100 Hz, else 0.
int AnalyseRecording(SampleSource& source, RecordingCodes& codes);

// The same, and a noisy track for each of kNoiseLevelsDb: white Gaussian
// noise from a generator seeded with `seed` (so that a recording always
// gets the same noise), added to the sound as it is read. Decodes once and
// holds about ten seconds of sound, however long the recording.
int AnalyseRecordingWithNoise(SampleSource& source, uint64_t seed, RecordingCodes& codes);

}  // namespace quil
