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
#include <memory>
#include <string>
#include <vector>

#include "net/QueryPackets.h"
#include "platform/ByteReader.h"
#include "server/SessionTable.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using quil::ByteReader;
using quil::fuzz::Require;

// Decides on a segment whose first code is 0xFF, naming the song after its
// codes, repeated as often as the second code says, so that line feeds, 0
// bytes, broken UTF-8 and over-long names all reach the answer text.
class CodeNamedSession : public quil::IdentifySession {
  public:
    std::optional<quil::SongAnswer> Add(const quil::QuerySegment& segment) override {
        ++segments_;
        const ByteReader codes(segment.codes, 4 * static_cast<size_t>(segment.candidates));
        uint8_t first = 0;
        uint8_t repeat = 0;
        if (decided_ || !codes.ReadU8(0, first) || first != 0xFF || !codes.ReadU8(1, repeat))
            return std::nullopt;
        decided_ = true;
        const std::string name(reinterpret_cast<const char*>(codes.data()), codes.size());
        quil::SongAnswer answer;
        for (int i = 0; i < repeat; ++i)
            answer.song.title += name;
        answer.song.artist = std::string(name.rbegin(), name.rend());
        return answer;
    }
    int32_t segments() const override { return segments_; }

  private:
    int32_t segments_ = 0;
    bool decided_ = false;
};

class CodeNamedIdentifier : public quil::SongIdentifier {
  public:
    int32_t candidates() const override { return 2; }
    std::unique_ptr<quil::IdentifySession> NewSession() const override {
        return std::make_unique<CodeNamedSession>();
    }
};

void CheckReply(const quil::SessionTable::Datagram& reply, const quil::SessionToken& token) {
    Require(reply.size() >= quil::kPacketHeaderSize && reply.size() <= quil::kQueryBufferSize &&
            reply[0] == 'H' && reply[1] == 'B' && reply[2] == 1);
    if (reply[3] != quil::kAnswerPacket)
        return;
    quil::AnswerFields fields;
    const auto read = quil::QueryPackets::Read(ByteReader(reply.data(), reply.size()), token[0],
                                               token[1], fields);
    Require(reply.size() - 12 <= quil::kMaxAnswerText && read == quil::QueryReply::kAnswer &&
            fields[0] == "song" && !fields[2].empty() && !fields[3].empty() && fields[4].empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using Clock = quil::SessionTable::Clock;
    const CodeNamedIdentifier identifier;
    quil::ServerOptions options;
    options.maxSessions = 4;
    quil::SessionTable table(identifier, options, [](const std::string& line) {
        Require(line.find('\n') == std::string::npos);
    });
    const asio::ip::udp::endpoint client(asio::ip::address_v4::loopback(), 40000);
    const asio::ip::udp::endpoint stranger(asio::ip::address_v4::loopback(), 40001);
    Clock::time_point now{};

    // A confirmed session for the input to aim at.
    const std::vector<uint8_t> hello = {'H', 'B', 1, quil::kHelloPacket};
    const auto offer = table.Handle(ByteReader(hello.data(), hello.size()), client, now);
    Require(offer.size() == 1 && offer[0].size() == quil::kOfferSize);
    quil::SessionToken token;
    std::copy(offer[0].begin() + 4, offer[0].end(), token.begin());
    std::vector<uint8_t> confirm = offer[0];
    confirm[3] = quil::kConfirmPacket;
    table.Handle(ByteReader(confirm.data(), confirm.size()), client, now);

    const ByteReader input(data, size);
    size_t offset = 0;
    uint8_t control = 0;
    uint16_t length = 0;
    while (input.ReadU8(offset, control) && input.ReadU16BE(offset + 1, length)) {
        offset += 3;
        const ByteReader bytes = input.Slice(offset, std::min<size_t>(length, size - offset));
        offset += bytes.size();
        std::vector<uint8_t> datagram(bytes.data(), bytes.data() + bytes.size());
        if ((control & 1) && datagram.size() >= quil::kPacketHeaderSize)
            std::copy(token.begin(), token.end(), datagram.begin() + 4);
        if (control & 4) {
            now += std::chrono::seconds(control >> 3);
            table.Sweep(now);
        }
        const auto& from = (control & 2) ? stranger : client;
        for (const auto& reply :
             table.Handle(ByteReader(datagram.data(), datagram.size()), from, now))
            CheckReply(reply, token);
        Require(table.Counters().activeSessions <= options.maxSessions);
    }
    return 0;
}
