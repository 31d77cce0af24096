#include "server/ClientSession.h"

namespace quil {

ClientSession::ClientSession(const SessionToken& token, const asio::ip::udp::endpoint& client,
                             std::unique_ptr<IdentifySession> identify, Clock::time_point now)
    : token_(token),
      client_(client),
      identify_(std::move(identify)),
      started_(now),
      lastActivity_(now) {}

void ClientSession::Confirm(Clock::time_point now) {
    if (!confirmedAt_)
        confirmedAt_ = now;
}

std::optional<SongAnswer> ClientSession::Add(const QuerySegment& segment) {
    ++segments_;
    if (answer_ || !identify_)
        return std::nullopt;
    return identify_->Add(segment);
}

void ClientSession::Decide(const SongAnswer& answer, std::vector<uint8_t> packet) {
    answer_ = answer;
    answerPacket_ = std::move(packet);
}

}  // namespace quil
