#include "server/ServerPackets.h"

#include <algorithm>

#include "net/QueryPackets.h"

namespace quil {

namespace {

constexpr size_t kTypeOffset = 3;
constexpr size_t kTokenOffset = 4;
constexpr size_t kStartFrameOffset = 10;
constexpr size_t kCandidatesOffset = 12;
constexpr size_t kCodesOffset = 13;
constexpr size_t kCodesOverhead = 14;  // header, start frame, m, the closing 0 byte
constexpr size_t kAcceptCandidatesOffset = 14;
constexpr size_t kAnswerHeadSize = 12;

std::vector<uint8_t> Header(uint8_t type, const SessionToken& token, size_t size) {
    std::vector<uint8_t> packet(size, 0);
    packet[0] = kPacketMagic0;
    packet[1] = kPacketMagic1;
    packet[2] = kProtocolVersion;
    packet[kTypeOffset] = type;
    std::copy(token.begin(), token.end(), packet.begin() + kTokenOffset);
    return packet;
}

// Shortens `text` to at most `limit` bytes without splitting a UTF-8
// sequence. Invalid text is cut at most three bytes early, so a run of
// stray continuation bytes cannot empty a field and shift the next one up.
void CutUtf8(std::string& text, size_t limit) {
    if (text.size() <= limit)
        return;
    size_t end = limit;
    while (end > 0 && end + 3 > limit && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80)
        --end;
    if ((static_cast<uint8_t>(text[end]) & 0xC0) == 0x80)
        end = limit;
    text.resize(end);
}

}  // namespace

bool ServerPackets::Parse(ByteReader datagram, ClientPacket& packet) {
    if (datagram.size() > kQueryBufferSize || !HandshakePackets::HasMagic(datagram))
        return false;
    uint8_t type = 0;
    if (!datagram.ReadU8(2, packet.version) || !datagram.ReadU8(kTypeOffset, type))
        return false;
    if (type == kHelloPacket) {
        packet.type = ClientPacketType::kHello;
        packet.token = SessionToken{};
        return true;
    }
    for (size_t i = 0; i < packet.token.size(); ++i) {
        if (!datagram.ReadU8(kTokenOffset + i, packet.token[i]))
            return false;
    }
    if (type == kConfirmPacket || type == kGoodbyePacket) {
        packet.type =
            type == kConfirmPacket ? ClientPacketType::kConfirm : ClientPacketType::kGoodbye;
        return datagram.size() == kPacketHeaderSize;
    }
    uint8_t m = 0;
    if (type != kCodesPacket || !datagram.ReadU16BE(kStartFrameOffset, packet.segment.startFrame) ||
        !datagram.ReadU8(kCandidatesOffset, m) || m == 0)
        return false;
    const size_t codeCount = 4 * size_t{m};
    if (datagram.size() != kCodesOverhead + codeCount)
        return false;
    packet.type = ClientPacketType::kCodes;
    packet.segment.candidates = m;
    packet.segment.codes = datagram.Slice(kCodesOffset, codeCount).data();
    return true;
}

std::vector<uint8_t> ServerPackets::Offer(const SessionToken& token) {
    return Header(kOfferPacket, token, kOfferSize);
}

std::vector<uint8_t> ServerPackets::Accept(const SessionToken& token, uint8_t candidates) {
    std::vector<uint8_t> packet = Header(kAcceptPacket, token, kAcceptSize);
    packet[kAcceptCandidatesOffset] = candidates;
    return packet;
}

std::vector<uint8_t> ServerPackets::TooOld() {
    return Header(kTooOldPacket, SessionToken{}, kPacketHeaderSize);
}

std::vector<uint8_t> ServerPackets::Refusal(const SessionToken& token) {
    return Header(kRefusedAnyPhasePacket, token, kPacketHeaderSize);
}

std::vector<uint8_t> ServerPackets::Answer(const SessionToken& token, const SongInfo& song) {
    const std::string text = AnswerText(song);
    std::vector<uint8_t> packet = Header(kAnswerPacket, token, kAnswerHeadSize);
    packet[10] = static_cast<uint8_t>(text.size() >> 8);
    packet[11] = static_cast<uint8_t>(text.size());
    packet.resize(kAnswerHeadSize + text.size());
    std::copy(text.begin(), text.end(), packet.begin() + kAnswerHeadSize);
    return packet;
}

std::string ServerPackets::AnswerText(const SongInfo& song) {
    std::string title = LineText(song.title, "Unknown title");
    std::string artist = LineText(song.artist, "Unknown artist");
    std::string text = "song\n" + std::to_string(song.id) + "\n";
    // What is left for title and artist once the line feed between them is
    // counted. Each may keep half, and what one leaves unused the other.
    const size_t budget = kMaxAnswerText - text.size() - 1;
    if (title.size() + artist.size() > budget) {
        const size_t half = budget / 2;
        const size_t titleLimit = std::max(half, budget - std::min(artist.size(), half));
        const size_t artistLimit = budget - std::min(title.size(), titleLimit);
        CutUtf8(title, titleLimit);
        CutUtf8(artist, artistLimit);
    }
    return text + title + "\n" + artist;
}

std::string ServerPackets::LineText(std::string_view text, std::string_view fallback) {
    if (text.empty())
        return std::string(fallback);
    std::string line(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }, ' ');
    return line;
}

}  // namespace quil
