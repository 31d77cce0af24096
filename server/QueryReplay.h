#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "fingerprint/SampleSource.h"
#include "server/SongIdentifier.h"

namespace quil {

// What the live service would have decided for a client that sends the
// fingerprint of `source`.
struct ReplayResult {
    std::optional<SongAnswer> answer;
    // Seconds of sound from the source's start until the segment that
    // brought the decision was complete (the client sends a segment once it
    // has read 105 hops past its start); the whole replay when undecided.
    double seconds = 0;
    int32_t segments = 0;
};

// Runs the client's analysis over `source` with the identifier's m,
// feeding each segment to one session in the order and at the hop at
// which the client would send it, until the session answers, the source
// ends, or `limitSeconds` of sound have been read (a client gives up after
// 60 s). `observe`, when given, is called after each segment with the
// session and the segment's start frame.
ReplayResult ReplayQuery(
    SampleSource& source, const SongIdentifier& identifier, double limitSeconds = 60,
    const std::function<void(const IdentifySession&, int32_t startFrame)>& observe = {});

}  // namespace quil
