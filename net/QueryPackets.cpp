#include "net/QueryPackets.h"

#include <algorithm>
#include <cstring>

namespace quil {

namespace {

constexpr size_t kTypeOffset = 3;
constexpr size_t kCodesHeadSize = 13;   // header, start frame, m
constexpr size_t kAnswerHeadSize = 12;  // header, text length
constexpr uint8_t kLineFeed = 0x0A;

}  // namespace

size_t QueryPackets::BuildCodes(const PacketHeader& header, int32_t m, const uint8_t* codes,
                                int32_t startFrame, uint8_t* out, size_t capacity) {
    if (m < 1 || m > kMaxPacketCandidates || !codes || !out)
        return 0;
    const size_t codeCount = 4 * static_cast<size_t>(m);
    const size_t length = kCodesHeadSize + codeCount + 1;
    if (length > capacity)
        return 0;
    std::memcpy(out, header.data(), header.size());
    out[kTypeOffset] = kCodesPacket;
    const auto frame = static_cast<uint32_t>(startFrame);
    out[10] = static_cast<uint8_t>(frame >> 8);
    out[11] = static_cast<uint8_t>(frame);
    out[12] = static_cast<uint8_t>(m);
    std::memcpy(out + kCodesHeadSize, codes, codeCount);
    out[length - 1] = 0;
    return length;
}

PacketHeader QueryPackets::Goodbye(const PacketHeader& header) {
    PacketHeader goodbye = header;
    goodbye[kTypeOffset] = kGoodbyePacket;
    return goodbye;
}

QueryReply QueryPackets::Read(ByteReader datagram, uint8_t token0, uint8_t token1,
                              AnswerFields& fields) {
    uint8_t head[6] = {};
    for (size_t i = 0; i < sizeof head; ++i) {
        if (!datagram.ReadU8(i, head[i]))
            return QueryReply::kIgnore;
    }
    if (head[0] != kPacketMagic0 || head[1] != kPacketMagic1 || head[2] != kProtocolVersion ||
        head[4] != token0 || head[5] != token1)
        return QueryReply::kIgnore;
    const uint8_t type = head[kTypeOffset];
    if (type == kRefusedAnyPhasePacket)
        return QueryReply::kRefused;
    uint16_t declared = 0;
    if (type != kAnswerPacket || !datagram.ReadU16BE(10, declared))
        return QueryReply::kIgnore;
    // The length field is the server's word only as far as the datagram
    // and the receive buffer reach.
    size_t length = declared;
    if (length + 13 > kQueryBufferSize)
        length = kMaxAnswerText;
    length = std::min(length, datagram.size() - kAnswerHeadSize);
    fields = SplitFields(datagram.Slice(kAnswerHeadSize, length));
    return QueryReply::kAnswer;
}

AnswerFields QueryPackets::SplitFields(ByteReader text) {
    AnswerFields fields;
    size_t field = 0;
    std::string current;
    // The text is a byte string: a 0 byte ends it.
    uint8_t byte = 0;
    for (size_t i = 0; field < fields.size() && text.ReadU8(i, byte) && byte != 0; ++i) {
        if (byte != kLineFeed) {
            current.push_back(static_cast<char>(byte));
        } else if (!current.empty()) {
            fields[field++] = std::move(current);
            current.clear();
        }
    }
    if (field < fields.size() && !current.empty())
        fields[field] = std::move(current);
    return fields;
}

}  // namespace quil
