#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/HandshakePackets.h"
#include "platform/ByteReader.h"
#include "server/SongIdentifier.h"
#include "server/SongInfo.h"

// The server's half of the identification protocol's packets: client
// datagrams read into typed views, and the replies built byte for byte.

namespace quil {

// Bytes 4 to 9 of every packet once a session exists; all zero in replies
// that have no session (too old, refused at the limit).
using SessionToken = std::array<uint8_t, 6>;

enum class ClientPacketType { kHello, kConfirm, kCodes, kGoodbye };

// One client datagram after its lengths were checked.
struct ClientPacket {
    ClientPacketType type = ClientPacketType::kHello;
    uint8_t version = 0;   // header byte 2
    SessionToken token{};  // zero for a hello, which carries none
    // Codes only: the start frame and m from the packet, and its 4 x m
    // codes, which point into the datagram and live as long as it does.
    QuerySegment segment;
};

// Stateless; client datagrams are untrusted and read through ByteReader only.
class ServerPackets {
  public:
    // Reads a client datagram: 'H', 'B' and then a hello of at least 4
    // bytes, a confirm or goodbye of exactly 10, or codes of exactly
    // 14 + 4m bytes with m >= 1. False for anything else, anything longer
    // than 548 bytes included; `packet` is then unspecified.
    static bool Parse(ByteReader datagram, ClientPacket& packet);

    // The replies (10 bytes each, the accept 16): version 1, the type, the token.
    static std::vector<uint8_t> Offer(const SessionToken& token);
    // The accept asks for `candidates` (m) per row in byte 14.
    static std::vector<uint8_t> Accept(const SessionToken& token, uint8_t candidates);
    static std::vector<uint8_t> TooOld();
    static std::vector<uint8_t> Refusal(const SessionToken& token);
    // Header, the text's length in bytes big-endian, AnswerText(song).
    static std::vector<uint8_t> Answer(const SessionToken& token, const SongInfo& song);

    // "song", id, title, artist on lines of their own, at most 535 bytes of
    // UTF-8: the client takes line 2 as the title and line 3 as the artist.
    static std::string AnswerText(const SongInfo& song);
    // `text` made fit for one answer line: CR, LF and 0 bytes become spaces
    // (the client would split or end there), and empty text is `fallback`.
    static std::string LineText(std::string_view text, std::string_view fallback);
};

}  // namespace quil
