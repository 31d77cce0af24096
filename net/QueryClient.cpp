#include "net/QueryClient.h"

#include <algorithm>
#include <chrono>

#include "fingerprint/Fingerprint.h"

namespace quil {

namespace {

int64_t WallClockSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

QueryClient::QueryClient(const StopToken* stop) : stop_(stop) {}

QueryClient::~QueryClient() {
    Close();
}

int QueryClient::Handshake(uint32_t address, uint16_t port) {
    CloseSocket(socket_);
    connected_ = false;
    fields_ = AnswerFields{};
    header_ = PacketHeader{};
    socket_ = OpenUdpSocket();
    if (socket_ == kNoSocket)
        return kNetworkError;
    server_ = SocketAddress{address, port};
    const int offer = RunPhase(Phase::kOffer);
    if (offer != 0)
        return offer;
    return RunPhase(Phase::kConfirm);
}

int QueryClient::RunPhase(Phase phase) {
    const bool offerPhase = phase == Phase::kOffer;
    // The buffers are exactly as long as the reply each phase waits for.
    const size_t capacity = offerPhase ? kOfferSize : kAcceptSize;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // Both packets go out anew on every attempt, so a datagram lost in
        // either direction costs one wait.
        int sent = 0;
        if (offerPhase) {
            const auto hello = HandshakePackets::Hello();
            sent = Send(hello.data(), hello.size());
        } else {
            const PacketHeader confirm = HandshakePackets::Confirm(header_);
            sent = Send(confirm.data(), confirm.size());
        }
        if (sent != 0)
            return sent;

        // An attempt ends on its time-out or on a reply it takes; datagrams
        // it ignores (strangers', damaged ones) do not use it up, or anyone
        // could end the handshake with a burst of junk.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(attemptTimeoutMs_);
        bool nextAttempt = false;
        while (!nextAttempt) {
            SocketAddress from;
            int64_t received = 0;
            int error = 0;
            if (const int waited = Receive(capacity, deadline, from, received, error); waited != 0)
                return waited;
            if (received < 0) {
                if (IsTimeoutError(error))
                    break;
                // Somebody else's oversized datagram must not end the handshake.
                if (error == DatagramTooLongError() && !(from == server_))
                    continue;
                return kNetworkError;
            }
            const ByteReader datagram(receiveBuffer_.data(), static_cast<size_t>(received));
            if (!(from == server_) || !HandshakePackets::HasMagic(datagram))
                continue;

            if (offerPhase) {
                switch (HandshakePackets::ClassifyOfferPhase(datagram)) {
                    case HandshakeReply::kOffer:
                        header_ = HandshakePackets::HeaderOf(datagram, header_);
                        return 0;
                    case HandshakeReply::kTooOld:
                        return kTooOld;
                    case HandshakeReply::kRefused:
                        return kRefused;
                    default:
                        continue;
                }
            }

            // The next confirm repeats the server's latest header; only the
            // server's own whole headers count, so no stranger can plant a
            // token. A header taken ends the attempt, so that the confirm
            // carrying it goes out at once.
            if (datagram.size() >= kPacketHeaderSize) {
                header_ = HandshakePackets::HeaderOf(datagram, header_);
                nextAttempt = true;
            }
            switch (HandshakePackets::ClassifyConfirmPhase(datagram)) {
                case HandshakeReply::kAccept: {
                    // A code packet carries at most 133 candidates per row; a
                    // server asking for more gets that many, and byte 12 of
                    // every code packet tells it so.
                    const int32_t requested = HandshakePackets::RequestedCandidates(datagram);
                    candidates_ = std::clamp(requested, 1, kMaxPacketCandidates);
                    connected_ = true;
                    return 0;
                }
                case HandshakeReply::kRefused:
                    return kRefused;
                default:
                    break;
            }
        }
    }
    return kNoDecision;
}

int QueryClient::Receive(size_t capacity, std::chrono::steady_clock::time_point deadline,
                         SocketAddress& from, int64_t& received, int& error) {
    // The attempt's wait is cut into slices so that a stop is noticed
    // within one of them rather than after the whole wait.
    for (;;) {
        const int64_t left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 deadline - std::chrono::steady_clock::now())
                                 .count();
        const int32_t slice = static_cast<int32_t>(std::clamp<int64_t>(left, 1, kStopCheckMs));
        if (SetReceiveTimeout(socket_, slice) != 0)
            return kNetworkError;
        received = ReceiveFrom(socket_, receiveBuffer_.data(), capacity, from);
        error = received < 0 ? LastSocketError() : 0;
        if (StopRequested())
            return kStopped;
        if (received >= 0 || !IsTimeoutError(error) || left <= slice)
            return 0;
    }
}

int QueryClient::RunQuery(SampleSource& source) {
    if (!connected_)
        return kNotConnected;
    startTime_ = clock_ ? clock_() : WallClockSeconds();
    // The analysis must never wait on the network.
    if (SetNonBlocking(socket_, true) != 0)
        return kNetworkError;
    source_ = &source;
    signalSeen_ = 0;
    FingerprintOptions options;
    options.candidates = candidates_;
    options.poll = PollAnswer;
    options.pollContext = this;
    options.signalSeen = &signalSeen_;
    return ComputeFingerprint(source, this, SendCodes, &options);
}

int QueryClient::SendCodes(void* query, int32_t m, const uint8_t* codes, const double*,
                           int32_t startFrame) {
    auto* self = static_cast<QueryClient*>(query);
    const size_t length = QueryPackets::BuildCodes(
        self->header_, m, codes, startFrame, self->sendBuffer_.data(), self->sendBuffer_.size());
    if (length == 0)
        return kNetworkError;
    return self->Send(self->sendBuffer_.data(), length);
}

int QueryClient::PollAnswer(void* query) {
    return static_cast<QueryClient*>(query)->Poll();
}

int QueryClient::Poll() {
    const int64_t now = clock_ ? clock_() : WallClockSeconds();
    if (now > startTime_ + kQueryLimitSeconds)
        return kTimeLimit;
    if (!signalSeen_ && now > startTime_ + kSilenceLimitSeconds)
        return kNoSignal;
    for (;;) {
        if (StopRequested())
            return kStopped;
        SocketAddress from;
        const int64_t received =
            ReceiveFrom(socket_, receiveBuffer_.data(), receiveBuffer_.size(), from);
        if (received < 0) {
            const int error = LastSocketError();
            if (IsWouldBlockError(error))
                return 0;
            if (error == DatagramTooLongError() && !(from == server_))
                continue;
            return kNetworkError;
        }
        // Answers and refusals count only from the endpoint the handshake
        // reached; otherwise anyone who guessed two token bytes could plant
        // a title.
        if (!(from == server_))
            continue;
        const ByteReader datagram(receiveBuffer_.data(), static_cast<size_t>(received));
        AnswerFields fields;
        switch (QueryPackets::Read(datagram, header_[4], header_[5], fields)) {
            case QueryReply::kRefused:
                return kRefused;
            case QueryReply::kAnswer:
                fields_ = std::move(fields);
                return kAnswered;
            case QueryReply::kIgnore:
                break;
        }
    }
}

int QueryClient::SendGoodbye() {
    if (connected_) {
        const PacketHeader goodbye = QueryPackets::Goodbye(header_);
        if (Send(goodbye.data(), goodbye.size()) != 0)
            return kNetworkError;
        connected_ = false;
    }
    CloseSocket(socket_);
    return 0;
}

void QueryClient::Close() {
    SendGoodbye();
    CloseSocket(socket_);
}

int QueryClient::Send(const uint8_t* data, size_t size) {
    const int64_t sent = SendTo(socket_, data, size, server_);
    return sent == static_cast<int64_t>(size) ? 0 : kNetworkError;
}

const std::string& QueryClient::Field(size_t index) const {
    static const std::string kEmpty;
    return index < fields_.size() ? fields_[index] : kEmpty;
}

bool QueryClient::LocalEndpoint(SocketAddress& local) const {
    return socket_ != kNoSocket && LocalAddress(socket_, local) == 0;
}

}  // namespace quil
