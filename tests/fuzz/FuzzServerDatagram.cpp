// Client datagrams of any shape, from the session's client or a stranger,
// with time passing: the server never reads past them, every reply is a
// whole packet (H, B, version 1, 10 to 548 bytes), every answer splits into
// "song", an id, a title and an artist, and sessions stay within the limit.
//
// The input is a list of records: a control byte, a big-endian length, that
// many datagram bytes. Control bit 0 writes the live session's token into
// bytes 4 to 9 (no input could guess it), bit 1 sends from a stranger's
// port, bit 2 first lets (control >> 3) seconds pass and sweeps.
#include <algorithm>
#include <chrono>

#include "net/QueryPackets.h"
#include "server/SessionTable.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using namespace quil;
using fuzz::Require;

// Decides on the first segment whose first code is 0xFF, naming the song
// after its codes repeated as often as the second code says, so that line
// feeds, 0 bytes, broken UTF-8 and over-long names reach the answer text.
struct CodeNamedSession : IdentifySession {
    std::optional<SongAnswer> Add(const QuerySegment& segment) override {
        const std::string codes(reinterpret_cast<const char*>(segment.codes),
                                4 * static_cast<size_t>(segment.candidates));
        if (decided || static_cast<uint8_t>(codes[0]) != 0xFF)
            return std::nullopt;
        decided = true;
        SongAnswer answer;
        for (int i = 0; i < static_cast<uint8_t>(codes[1]); ++i)
            answer.song.title += codes;
        answer.song.artist.assign(codes.rbegin(), codes.rend());
        return answer;
    }
    int32_t segments() const override { return 0; }
    bool decided = false;
};
struct CodeNamedIdentifier : SongIdentifier {
    int32_t candidates() const override { return 2; }
    std::unique_ptr<IdentifySession> NewSession() const override {
        return std::make_unique<CodeNamedSession>();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CodeNamedIdentifier identifier;
    const ServerOptions options{.maxSessions = 4};
    SessionTable table(identifier, options,
                       [](const std::string& line) { Require(line.find('\n') == line.npos); });
    const asio::ip::udp::endpoint client(asio::ip::address_v4::loopback(), 40000);
    const asio::ip::udp::endpoint stranger(asio::ip::address_v4::loopback(), 40001);
    SessionTable::Clock::time_point now{};
    // A confirmed session for the input to aim at.
    std::vector<uint8_t> packet = {'H', 'B', 1, kHelloPacket};
    auto replies = table.Handle(ByteReader(packet.data(), packet.size()), client, now);
    Require(replies.size() == 1 && replies[0].size() == kOfferSize);
    packet = replies[0];
    const uint8_t* token = packet.data() + 4;
    packet[3] = kConfirmPacket;
    table.Handle(ByteReader(packet.data(), packet.size()), client, now);

    const ByteReader input(data, size);
    uint8_t control = 0;
    uint16_t length = 0;
    for (size_t at = 0; input.ReadU8(at, control) && input.ReadU16BE(at + 1, length);) {
        const ByteReader bytes = input.Slice(at + 3, std::min<size_t>(length, size - at - 3));
        at += 3 + bytes.size();
        std::vector<uint8_t> datagram(bytes.data(), bytes.data() + bytes.size());
        if ((control & 1) && datagram.size() >= kPacketHeaderSize)
            std::copy(token, token + 6, datagram.begin() + 4);
        if (control & 4)
            table.Sweep(now += std::chrono::seconds(control >> 3));
        replies = table.Handle(ByteReader(datagram.data(), datagram.size()),
                               (control & 2) ? stranger : client, now);
        for (const auto& reply : replies) {
            Require(reply.size() >= kPacketHeaderSize && reply.size() <= kQueryBufferSize &&
                    reply[0] == 'H' && reply[1] == 'B' && reply[2] == 1);
            AnswerFields fields;
            Require(reply[3] != kAnswerPacket ||
                    (QueryPackets::Read(ByteReader(reply.data(), reply.size()), token[0], token[1],
                                        fields) == QueryReply::kAnswer &&
                     reply.size() - 12 <= kMaxAnswerText && fields[0] == "song" &&
                     !fields[2].empty() && !fields[3].empty() && fields[4].empty()));
        }
        Require(table.Counters().activeSessions <= options.maxSessions);
    }
    return 0;
}
