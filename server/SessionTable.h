#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <asio/ip/udp.hpp>

#include "platform/ByteReader.h"
#include "server/ClientSession.h"
#include "server/ServerPackets.h"
#include "server/SongIdentifier.h"

namespace quil {

struct ServerOptions {
    // Sessions at once; a hello beyond that is refused (0xD1).
    size_t maxSessions = 256;
    // A session without any datagram for this long ends.
    std::chrono::milliseconds idleTimeout = std::chrono::seconds(15);
    // A session ends this long after its confirm whatever it does: the
    // client gives up after 60 s of query.
    std::chrono::milliseconds sessionLimit = std::chrono::seconds(75);
    // How often the server looks for sessions to end.
    std::chrono::milliseconds sweepInterval = std::chrono::seconds(1);
};

// Totals since the server was made; `activeSessions` is the current count.
struct ServerCounters {
    uint64_t sessionsStarted = 0;
    uint64_t sessionsAnswered = 0;  // once per session, resent answers not counted
    uint64_t refusals = 0;          // too old, and hellos over the session limit
    uint64_t expiries = 0;          // idle, or over the time limit
    uint64_t dropped = 0;           // datagrams that were not understood or not ours
    uint64_t activeSessions = 0;
};

// The protocol without the socket: each client datagram goes in with its
// sender and the time, the replies for that sender come out. The session
// table and the log belong to one thread; Counters() may be read from any.
class SessionTable {
  public:
    using Clock = std::chrono::steady_clock;
    using Datagram = std::vector<uint8_t>;
    // Takes one line per finished session, without a line break.
    using LogSink = std::function<void(const std::string&)>;

    // `identifier` (not owned) must outlive the table; `log` may be empty.
    SessionTable(const SongIdentifier& identifier, const ServerOptions& options, LogSink log);

    // Replies to send to `from`, in order; none for a dropped datagram.
    std::vector<Datagram> Handle(ByteReader datagram, const asio::ip::udp::endpoint& from,
                                 Clock::time_point now);
    // Ends the sessions that were idle or ran over their time limit by `now`.
    void Sweep(Clock::time_point now);
    // Ends every session, logging `reason` for those without an answer.
    void EndAll(Clock::time_point now, const std::string& reason);

    ServerCounters Counters() const;

  private:
    using Sessions = std::map<SessionToken, ClientSession>;

    std::vector<Datagram> Hello(const ClientPacket& packet, const asio::ip::udp::endpoint& from,
                                Clock::time_point now);
    std::vector<Datagram> Codes(ClientSession& session, const QuerySegment& segment,
                                Clock::time_point now);
    std::vector<Datagram> Drop();
    SessionToken NewToken();
    Sessions::iterator End(Sessions::iterator session, Clock::time_point now,
                           const std::string& reason);

    const SongIdentifier& identifier_;
    ServerOptions options_;
    LogSink log_;
    // m as the accept asks for it: what a code packet can carry.
    uint8_t candidates_ = 1;
    Sessions sessions_;
    std::mt19937_64 random_;

    std::atomic<uint64_t> started_{0};
    std::atomic<uint64_t> answered_{0};
    std::atomic<uint64_t> refusals_{0};
    std::atomic<uint64_t> expiries_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<uint64_t> active_{0};
};

}  // namespace quil
