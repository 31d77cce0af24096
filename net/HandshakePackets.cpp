#include "net/HandshakePackets.h"

namespace quil {

namespace {

constexpr size_t kTypeOffset = 3;
constexpr size_t kCandidatesOffset = 14;

// The type byte of a datagram that starts with 'H', 'B'; false when it is
// too short to have one or does not start so.
bool TypeOf(ByteReader datagram, uint8_t& type) {
    return HandshakePackets::HasMagic(datagram) && datagram.ReadU8(kTypeOffset, type);
}

bool IsRefusal(uint8_t type) {
    return type == kRefusedPacket || type == kRefusedAnyPhasePacket;
}

}  // namespace

std::array<uint8_t, kHelloSize> HandshakePackets::Hello() {
    return {kPacketMagic0, kPacketMagic1, kProtocolVersion, kHelloPacket};
}

PacketHeader HandshakePackets::Confirm(const PacketHeader& last) {
    PacketHeader confirm = last;
    confirm[kTypeOffset] = kConfirmPacket;
    return confirm;
}

PacketHeader HandshakePackets::HeaderOf(ByteReader datagram, const PacketHeader& fallback) {
    PacketHeader header = fallback;
    for (size_t i = 0; i < header.size(); ++i)
        datagram.ReadU8(i, header[i]);
    return header;
}

bool HandshakePackets::HasMagic(ByteReader datagram) {
    uint8_t first = 0;
    uint8_t second = 0;
    return datagram.ReadU8(0, first) && datagram.ReadU8(1, second) && first == kPacketMagic0 &&
           second == kPacketMagic1;
}

HandshakeReply HandshakePackets::ClassifyOfferPhase(ByteReader datagram) {
    uint8_t type = 0;
    if (!TypeOf(datagram, type))
        return HandshakeReply::kIgnore;
    if (type == kOfferPacket)
        return datagram.size() >= kOfferSize ? HandshakeReply::kOffer : HandshakeReply::kIgnore;
    if (type == kTooOldPacket)
        return HandshakeReply::kTooOld;
    if (IsRefusal(type))
        return HandshakeReply::kRefused;
    return HandshakeReply::kIgnore;
}

HandshakeReply HandshakePackets::ClassifyConfirmPhase(ByteReader datagram) {
    uint8_t type = 0;
    if (!TypeOf(datagram, type))
        return HandshakeReply::kIgnore;
    if (type == kAcceptPacket)
        return datagram.size() >= kAcceptSize ? HandshakeReply::kAccept : HandshakeReply::kIgnore;
    if (IsRefusal(type))
        return HandshakeReply::kRefused;
    return HandshakeReply::kIgnore;
}

uint8_t HandshakePackets::RequestedCandidates(ByteReader accept) {
    uint8_t m = 0;
    accept.ReadU8(kCandidatesOffset, m);
    return m;
}

}  // namespace quil
