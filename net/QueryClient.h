#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "fingerprint/SampleSource.h"
#include "net/HandshakePackets.h"
#include "net/QueryPackets.h"
#include "platform/Sockets.h"
#include "platform/StopToken.h"

namespace quil {

// One identification query over UDP: the two-phase handshake with the
// identification server, then the fingerprint's code packets out and the
// server's answer in, then a goodbye. One object serves one run on one
// worker thread and is not reused; results are the run's outcome codes.
class QueryClient {
  public:
    // Seconds since the epoch, whole; the query phase's time limits use it.
    using Clock = std::function<int64_t()>;

    static constexpr int kNotConnected = -2;
    static constexpr int kStopped = -3;
    static constexpr int kNetworkError = -4;
    static constexpr int kNoDecision = -5;
    static constexpr int kRefused = -6;
    static constexpr int kTooOld = -7;
    static constexpr int kTimeLimit = -8;
    static constexpr int kNoSignal = -9;
    static constexpr int kAnswered = -10;

    // The identification server's UDP port.
    static constexpr uint16_t kServerPort = 5747;
    // Attempts per handshake phase, and the wait for a reply to each (ms).
    static constexpr int kAttempts = 10;
    static constexpr int32_t kAttemptTimeoutMs = 1000;
    // A handshake wait looks at the stop request this often (ms).
    static constexpr int32_t kStopCheckMs = 100;
    // Query phase limits, whole seconds since it began: all of it, and
    // without any sample above the signal threshold.
    static constexpr int64_t kQueryLimitSeconds = 60;
    static constexpr int64_t kSilenceLimitSeconds = 4;

    // `stop` (not owned, may be null: no stop checks) is the run's stop
    // request; it must outlive the client.
    explicit QueryClient(const StopToken* stop = nullptr);
    ~QueryClient();
    QueryClient(const QueryClient&) = delete;
    QueryClient& operator=(const QueryClient&) = delete;

    // Shakes hands with the server at `address` (IPv4, host order) and
    // `port`: 0 when connected, or -3, -4, -5, -6, -7.
    int Handshake(uint32_t address, uint16_t port);

    // Analyses `source` (not owned; must outlive the call), sending each
    // segment's codes and polling for the answer between hops. -10 when an
    // answer arrived (see Field), else 0, -1, -2, -3, -4, -6, -8, -9.
    int RunQuery(SampleSource& source);

    // Sends the goodbye when connected (-4 if that fails, the socket then
    // stays open), closes the socket, 0.
    int SendGoodbye();
    // SendGoodbye, then the socket is closed in any case.
    void Close();

    // The fingerprint's callbacks; `query` is the QueryClient. SendCodes
    // sends one code packet (0 or -4); PollAnswer answers 0 to go on, or
    // -3, -4, -6, -8, -9, -10.
    static int SendCodes(void* query, int32_t m, const uint8_t* codes, const double* distances,
                         int32_t startFrame);
    static int PollAnswer(void* query);

    // Answer field `index` (0 to 7; title 2, artist 3) after an answer
    // arrived; empty otherwise and for indices out of range.
    const std::string& Field(size_t index) const;
    const AnswerFields& Fields() const { return fields_; }

    bool connected() const { return connected_; }
    // m, the codeword candidates per row taken from the accept: 1 when the
    // server asked for 0, at most 133 (what a code packet carries).
    int32_t candidates() const { return candidates_; }
    // The local endpoint of the open socket; false when none is open.
    bool LocalEndpoint(SocketAddress& local) const;

    // Seams for tests: the clock of the time limits (default: the wall
    // clock), and the handshake's wait per attempt in milliseconds.
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    void SetAttemptTimeout(int32_t milliseconds) { attemptTimeoutMs_ = milliseconds; }

  private:
    enum class Phase { kOffer, kConfirm };

    bool StopRequested() const { return stop_ && stop_->IsStopRequested(); }
    // One handshake phase; 0 when it reached its decision's success.
    int RunPhase(Phase phase);
    // One datagram of at most `capacity` bytes before `deadline` (a
    // time-out error after it): `received` and `error` as ReceiveFrom and
    // LastSocketError give them. Answers kStopped on a stop request,
    // kNetworkError when the socket cannot be set up for the wait, else 0.
    int Receive(size_t capacity, std::chrono::steady_clock::time_point deadline,
                SocketAddress& from, int64_t& received, int& error);
    int Send(const uint8_t* data, size_t size);
    int Poll();

    SocketHandle socket_ = kNoSocket;
    SampleSource* source_ = nullptr;
    SocketAddress server_;
    PacketHeader header_{};
    std::array<uint8_t, kQueryBufferSize> sendBuffer_{};
    std::array<uint8_t, kQueryBufferSize> receiveBuffer_{};
    bool connected_ = false;
    uint8_t signalSeen_ = 0;
    AnswerFields fields_;
    const StopToken* stop_ = nullptr;
    int64_t startTime_ = 0;
    int32_t candidates_ = 0;
    Clock clock_;
    int32_t attemptTimeoutMs_ = kAttemptTimeoutMs;
};

}  // namespace quil
