#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "server/SongInfo.h"

namespace quil {

// One code packet's segment as a client sent it.
struct QuerySegment {
    uint16_t startFrame = 0;         // low 16 bits of the client's hop counter (1024 samples)
    int32_t candidates = 0;          // m, codeword candidates per row, 1 to 133
    const uint8_t* codes = nullptr;  // 4 x m codeword numbers, row after row; not owned
};

// The decision of one session.
struct SongAnswer {
    SongInfo song;
    double offsetSeconds = 0;  // where in the recording the client's hop 0 lies
};

// The live decision of one identification session: segments are folded in
// as they arrive, and the session answers once it is sure enough. Used by
// one thread at a time.
class IdentifySession {
  public:
    virtual ~IdentifySession() = default;
    // Folds one segment into the evidence. Returns the answer the first time
    // the evidence decides; nothing before, and nothing for segments after
    // the decision.
    virtual std::optional<SongAnswer> Add(const QuerySegment& segment) = 0;
    // Segments folded in so far.
    virtual int32_t segments() const = 0;
};

// What the UDP side needs of the matcher. Thread-safe: sessions of one
// identifier may run on several threads at once.
class SongIdentifier {
  public:
    virtual ~SongIdentifier() = default;
    // m, the codeword candidates per row that clients are asked for (1 to 133).
    virtual int32_t candidates() const = 0;
    // A new session; it may use the identifier until it is destroyed.
    virtual std::unique_ptr<IdentifySession> NewSession() const = 0;
};

}  // namespace quil
