// The identification protocol's packets, built and read without sockets.
#include <gtest/gtest.h>

#include "FakeIdentificationServer.h"
#include "net/HandshakePackets.h"
#include "net/QueryPackets.h"

namespace quil {
namespace {

using test::Answer;
using test::Bytes;
using test::ServerPacket;

ByteReader View(const Bytes& bytes) {
    return ByteReader(bytes.data(), bytes.size());
}

Bytes With(Bytes bytes, size_t at, uint8_t value) {
    bytes[at] = value;
    return bytes;
}

TEST(QueryPackets, CodePacketBoundsAndShortHeaders) {
    // The header with the codes type, the start frame (big-endian), m, the
    // codes and a 0; 133 candidates per row at most, even where a larger
    // packet would fit, and never beyond the buffer. That the codes are the
    // analysis's the end-to-end run shows.
    const PacketHeader header = {0x48, 0x42, 3, 0x82, 1, 2, 3, 4, 5, 6};
    uint8_t out[1000];
    const std::vector<uint8_t> many(4 * 134, 7);
    struct Case {
        int32_t m;
        size_t capacity;
        size_t length;
    };
    for (const Case& c : {Case{133, kQueryBufferSize, 546}, Case{134, sizeof out, 0},
                          Case{3, 25, 0}, Case{3, 26, 26}}) {
        EXPECT_EQ(QueryPackets::BuildCodes(header, c.m, many.data(), 0, out, c.capacity), c.length)
            << c.m << " in " << c.capacity;
    }
    ASSERT_EQ(QueryPackets::BuildCodes(header, 1, many.data(), 0x1234, out, sizeof out), 18u);
    EXPECT_EQ(Bytes(out, out + 18),
              (Bytes{0x48, 0x42, 3, 0x11, 1, 2, 3, 4, 5, 6, 0x12, 0x34, 1, 7, 7, 7, 7, 0}));
    // A short datagram leaves the fallback's bytes in place.
    const PacketHeader fallback = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(HandshakePackets::Confirm(
                  HandshakePackets::HeaderOf(View(Bytes{0x48, 0x42, 1, 0x81, 7}), fallback)),
              (PacketHeader{0x48, 0x42, 1, 0x02, 7, 9, 9, 9, 9, 9}));
}

// The fields, each followed by '|', up to the first empty one.
std::string Joined(const AnswerFields& fields) {
    std::string joined;
    for (size_t i = 0; i < fields.size() && !fields[i].empty(); ++i)
        joined += fields[i] + "|";
    return joined;
}

TEST(QueryPackets, ReadsMatchingAnswersIntoFields) {
    using R = QueryReply;
    const std::string x535 = std::string(535, 'x') + "|";
    const std::string x600(600, 'x');
    struct Case {
        const char* name;
        Bytes datagram;
        R reply;
        std::string fields = "kept|";
    };
    const Case cases[] = {
        {"empty", Answer(""), R::kAnswer, ""},
        // Runs of line feeds are one separator, also at either end.
        {"runs", Answer("id\n\n\nlink\nTitle\nArtist\n"), R::kAnswer, "id|link|Title|Artist|"},
        {"eight at most", Answer("0\n1\n2\n3\n4\n5\n6\n7\n8\n9"), R::kAnswer, "0|1|2|3|4|5|6|7|"},
        {"a 0 byte ends the text", Answer(std::string("a\nb\0c\nd", 7)), R::kAnswer, "a|b|"},
        // The length field, cut at 535 bytes.
        {"declared 536", Answer(x600, 536), R::kAnswer, x535},
        {"shorter", Answer("Title\nArtist", 3), R::kAnswer, "Tit|"},
        // Only the session's answers and refusals count.
        {"wrong token", With(Answer("x"), 5, 0), R::kIgnore},
        {"refusal", ServerPacket(0xD1, 6, 1, {0xB1, 0xB2}), R::kRefused},
    };
    for (const Case& c : cases) {
        AnswerFields fields;
        fields[0] = "kept";
        EXPECT_EQ(QueryPackets::Read(View(c.datagram), 0xB1, 0xB2, fields), c.reply) << c.name;
        EXPECT_EQ(Joined(fields), c.fields) << c.name;
    }
}

}  // namespace
}  // namespace quil
