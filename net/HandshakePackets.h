#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/ByteReader.h"

// The identification protocol's common header and the packets of its
// two-phase handshake. Every packet in both directions starts with the same
// 10 bytes: 'H', 'B', the protocol version, the packet type and a six-byte
// connection token chosen by the server.

namespace quil {

inline constexpr size_t kPacketHeaderSize = 10;
inline constexpr uint8_t kPacketMagic0 = 0x48;  // 'H'
inline constexpr uint8_t kPacketMagic1 = 0x42;  // 'B'
inline constexpr uint8_t kProtocolVersion = 1;

// Packet types (header byte 3).
inline constexpr uint8_t kHelloPacket = 0x01;
inline constexpr uint8_t kConfirmPacket = 0x02;
inline constexpr uint8_t kGoodbyePacket = 0x03;
inline constexpr uint8_t kCodesPacket = 0x11;
inline constexpr uint8_t kOfferPacket = 0x81;
inline constexpr uint8_t kAcceptPacket = 0x82;
inline constexpr uint8_t kAnswerPacket = 0x91;
inline constexpr uint8_t kTooOldPacket = 0xC1;
inline constexpr uint8_t kRefusedPacket = 0xC2;
inline constexpr uint8_t kRefusedAnyPhasePacket = 0xD1;

// Lengths of the handshake's packets, in bytes.
inline constexpr size_t kHelloSize = 4;
inline constexpr size_t kOfferSize = 10;
inline constexpr size_t kAcceptSize = 16;

// Bytes 0 to 9 of a packet.
using PacketHeader = std::array<uint8_t, kPacketHeaderSize>;

// What a handshake datagram from the server means in its phase.
enum class HandshakeReply {
    kIgnore,   // not for this phase: the attempt is repeated
    kOffer,    // offer phase: carries the connection token
    kAccept,   // confirm phase: carries the client's header and m
    kTooOld,   // offer phase only: the client is too old
    kRefused,  // either phase
};

// Builds and checks the handshake's packets. Stateless; the datagrams are
// untrusted and read through ByteReader only.
class HandshakePackets {
  public:
    // The hello: 'H', 'B', version 1, type 0x01; no token yet.
    static std::array<uint8_t, kHelloSize> Hello();

    // The confirm: `last` (bytes 0 to 9 of the last datagram the server
    // sent in this handshake) with its type set to 0x02.
    static PacketHeader Confirm(const PacketHeader& last);

    // Bytes 0 to 9 of a datagram; bytes it does not have keep `fallback`'s.
    static PacketHeader HeaderOf(ByteReader datagram, const PacketHeader& fallback);

    // Whether the datagram starts with 'H', 'B'.
    static bool HasMagic(ByteReader datagram);

    // The meaning of a datagram received in the offer phase: an offer of at
    // least 10 bytes, too old (0xC1), a refusal (0xC2, 0xD1), else ignored.
    static HandshakeReply ClassifyOfferPhase(ByteReader datagram);

    // The meaning of a datagram received in the confirm phase: an accept of
    // at least 16 bytes or a refusal (0xC2, 0xD1); everything else, a
    // too-old reply included, is ignored.
    static HandshakeReply ClassifyConfirmPhase(ByteReader datagram);

    // The accept's byte 14: the codeword candidates per row the server asks for.
    static uint8_t RequestedCandidates(ByteReader accept);
};

}  // namespace quil
