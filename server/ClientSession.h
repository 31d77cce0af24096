#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <asio/ip/udp.hpp>

#include "server/ServerPackets.h"
#include "server/SongIdentifier.h"

namespace quil {

// One client's identification session, from its hello to its goodbye or
// expiry: who it is, how far the handshake came, and what the matcher made
// of its segments. Used by the server's thread only.
class ClientSession {
  public:
    using Clock = std::chrono::steady_clock;

    // `identify` (owned) is the matcher's session for this client; `now`
    // is when the hello arrived.
    ClientSession(const SessionToken& token, const asio::ip::udp::endpoint& client,
                  std::unique_ptr<IdentifySession> identify, Clock::time_point now);

    const SessionToken& token() const { return token_; }
    // The address and port every later datagram must come from.
    const asio::ip::udp::endpoint& client() const { return client_; }
    bool confirmed() const { return confirmedAt_.has_value(); }
    Clock::time_point started() const { return started_; }
    Clock::time_point lastActivity() const { return lastActivity_; }
    // When the first confirm arrived; the session's time limit counts from there.
    std::optional<Clock::time_point> confirmedAt() const { return confirmedAt_; }
    // Code packets taken, those after the decision included.
    int32_t segments() const { return segments_; }

    // Any datagram of this session keeps it alive.
    void Touch(Clock::time_point now) { lastActivity_ = now; }
    // Ends the offer phase; repeated confirms leave the time limit where it was.
    void Confirm(Clock::time_point now);

    // Takes one code packet's segment. The matcher sees it only while no
    // answer has been decided; the decision, once, is returned.
    std::optional<SongAnswer> Add(const QuerySegment& segment);

    // The decided answer and its packet, sent again for every later code
    // packet in case the first was lost; null before the decision.
    void Decide(const SongAnswer& answer, std::vector<uint8_t> packet);
    const SongAnswer* answer() const { return answer_ ? &*answer_ : nullptr; }
    const std::vector<uint8_t>& answerPacket() const { return answerPacket_; }

  private:
    SessionToken token_;
    asio::ip::udp::endpoint client_;
    std::unique_ptr<IdentifySession> identify_;
    Clock::time_point started_;
    Clock::time_point lastActivity_;
    std::optional<Clock::time_point> confirmedAt_;
    int32_t segments_ = 0;
    std::optional<SongAnswer> answer_;
    std::vector<uint8_t> answerPacket_;
};

}  // namespace quil
