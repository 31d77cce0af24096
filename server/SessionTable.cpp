#include "server/SessionTable.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "net/QueryPackets.h"

namespace quil {

SessionTable::SessionTable(const SongIdentifier& identifier, const ServerOptions& options,
                           LogSink log)
    : identifier_(identifier),
      options_(options),
      log_(std::move(log)),
      candidates_(
          static_cast<uint8_t>(std::clamp(identifier.candidates(), 1, kMaxPacketCandidates))),
      random_(std::random_device{}()) {}

std::vector<SessionTable::Datagram> SessionTable::Handle(ByteReader datagram,
                                                         const asio::ip::udp::endpoint& from,
                                                         Clock::time_point now) {
    ClientPacket packet;
    if (!ServerPackets::Parse(datagram, packet))
        return Drop();
    if (packet.type == ClientPacketType::kHello)
        return Hello(packet, from, now);

    // After the hello, only the session's own endpoint may speak for it:
    // a token alone would let anyone who saw it end or feed the session.
    const auto found = sessions_.find(packet.token);
    if (found == sessions_.end() || found->second.client() != from ||
        packet.version != kProtocolVersion)
        return Drop();
    ClientSession& session = found->second;
    switch (packet.type) {
        case ClientPacketType::kConfirm:
            session.Touch(now);
            session.Confirm(now);
            return {ServerPackets::Accept(session.token(), candidates_)};
        case ClientPacketType::kGoodbye:
            End(found, now, "goodbye without answer");
            return {};
        case ClientPacketType::kCodes:
            return Codes(session, packet.segment, now);
        case ClientPacketType::kHello:
            break;
    }
    return Drop();
}

std::vector<SessionTable::Datagram> SessionTable::Hello(const ClientPacket& packet,
                                                        const asio::ip::udp::endpoint& from,
                                                        Clock::time_point now) {
    if (packet.version != kProtocolVersion) {
        ++refusals_;
        return {ServerPackets::TooOld()};
    }
    // The client says hello again when our offer was lost: same offer, no
    // second session. After the confirm a hello is a new run.
    for (auto& [token, session] : sessions_) {
        if (!session.confirmed() && session.client() == from) {
            session.Touch(now);
            return {ServerPackets::Offer(token)};
        }
    }
    std::unique_ptr<IdentifySession> identify;
    if (sessions_.size() < options_.maxSessions)
        identify = identifier_.NewSession();
    if (!identify) {
        ++refusals_;
        return {ServerPackets::Refusal(SessionToken{})};
    }
    const SessionToken token = NewToken();
    sessions_.emplace(token, ClientSession(token, from, std::move(identify), now));
    ++started_;
    active_ = sessions_.size();
    return {ServerPackets::Offer(token)};
}

std::vector<SessionTable::Datagram> SessionTable::Codes(ClientSession& session,
                                                        const QuerySegment& segment,
                                                        Clock::time_point now) {
    if (!session.confirmed() || segment.candidates != candidates_)
        return Drop();
    session.Touch(now);
    if (const std::optional<SongAnswer> answer = session.Add(segment)) {
        session.Decide(*answer, ServerPackets::Answer(session.token(), answer->song));
        ++answered_;
    }
    if (!session.answer())
        return {};
    return {session.answerPacket()};
}

std::vector<SessionTable::Datagram> SessionTable::Drop() {
    ++dropped_;
    return {};
}

void SessionTable::Sweep(Clock::time_point now) {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        const ClientSession& session = it->second;
        // The time limit first, so that a session past it is reported as
        // such even when it has gone quiet as well.
        const char* reason = nullptr;
        if (session.confirmedAt() && now - *session.confirmedAt() >= options_.sessionLimit)
            reason = "time limit";
        else if (now - session.lastActivity() >= options_.idleTimeout)
            reason = "expired";
        if (reason) {
            ++expiries_;
            it = End(it, now, reason);
        } else {
            ++it;
        }
    }
}

void SessionTable::EndAll(Clock::time_point now, const std::string& reason) {
    for (auto it = sessions_.begin(); it != sessions_.end();)
        it = End(it, now, reason);
}

SessionToken SessionTable::NewToken() {
    // All zero is the token of replies without a session; a token in use
    // would merge two clients.
    for (;;) {
        const uint64_t bits = random_();
        SessionToken token;
        for (size_t i = 0; i < token.size(); ++i)
            token[i] = static_cast<uint8_t>(bits >> (8 * i));
        if (token != SessionToken{} && !sessions_.contains(token))
            return token;
    }
}

SessionTable::Sessions::iterator SessionTable::End(Sessions::iterator session,
                                                   Clock::time_point now,
                                                   const std::string& reason) {
    if (log_) {
        const ClientSession& ended = session->second;
        const std::chrono::duration<double> lasted = now - ended.started();
        std::ostringstream line;
        line << ended.client() << ", " << std::fixed << std::setprecision(1) << lasted.count()
             << " s, " << ended.segments() << " segments, ";
        if (const SongAnswer* answer = ended.answer()) {
            line << "answer: " << ServerPackets::LineText(answer->song.title, "Unknown title")
                 << " / " << ServerPackets::LineText(answer->song.artist, "Unknown artist");
        } else {
            line << reason;
        }
        log_(line.str());
    }
    const auto next = sessions_.erase(session);
    active_ = sessions_.size();
    return next;
}

ServerCounters SessionTable::Counters() const {
    ServerCounters counters;
    counters.sessionsStarted = started_;
    counters.sessionsAnswered = answered_;
    counters.refusals = refusals_;
    counters.expiries = expiries_;
    counters.dropped = dropped_;
    counters.activeSessions = active_;
    return counters;
}

}  // namespace quil
