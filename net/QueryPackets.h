#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/HandshakePackets.h"
#include "platform/ByteReader.h"

// The packets of the query phase: code packets out, answers and refusals in.

namespace quil {

// Both buffers of a query hold 548 bytes: the largest datagram sent or taken.
inline constexpr size_t kQueryBufferSize = 548;
// A code packet is 14 + 4 x m bytes, so the send buffer carries at most 133
// candidates per row.
inline constexpr int32_t kMaxPacketCandidates = static_cast<int32_t>((kQueryBufferSize - 14) / 4);
// An answer's text is cut at 535 bytes (548 less the 12-byte head and a
// terminating byte).
inline constexpr size_t kMaxAnswerText = kQueryBufferSize - 13;
inline constexpr size_t kAnswerFieldCount = 8;

// The song's text fields, UTF-8, in the server's order (title is field 2,
// artist field 3); absent fields are empty.
using AnswerFields = std::array<std::string, kAnswerFieldCount>;

// What a datagram received in the query phase means.
enum class QueryReply {
    kIgnore,   // wrong head, version, token or type
    kRefused,  // 0xD1
    kAnswer,   // 0x91 of at least 12 bytes; the fields are filled in
};

// Builds code packets and reads answers. Stateless; received datagrams are
// untrusted and read through ByteReader only.
class QueryPackets {
  public:
    // Writes the code packet for one segment into `out` (`capacity` bytes):
    // `header` with type 0x11; the start frame's low 16 bits big-endian; m's
    // low 8 bits; the 4 x m codes row after row; a 0 byte. Answers its
    // length, 14 + 4m, or 0 when m is below 1 or the packet does not fit.
    static size_t BuildCodes(const PacketHeader& header, int32_t m, const uint8_t* codes,
                             int32_t startFrame, uint8_t* out, size_t capacity);

    // `header` with type 0x03.
    static PacketHeader Goodbye(const PacketHeader& header);

    // Reads one datagram of the query phase. It counts only with 'H', 'B',
    // version 1 and token bytes 4 and 5 equal to `token0`, `token1`. An
    // answer's text is the length field's count of bytes after byte 12, cut
    // at 535 bytes, at the end of the datagram and at a 0 byte; it is split
    // at line feeds, runs of them being one separator, into at most 8
    // non-empty fields. `fields` is written only for kAnswer.
    static QueryReply Read(ByteReader datagram, uint8_t token0, uint8_t token1,
                           AnswerFields& fields);

    // The answer text's split into fields, as Read does it.
    static AnswerFields SplitFields(ByteReader text);
};

}  // namespace quil
