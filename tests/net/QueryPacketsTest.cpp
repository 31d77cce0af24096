#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeIdentificationServer.h"
#include "net/HandshakePackets.h"
#include "net/QueryPackets.h"

namespace quil {
namespace {

using test::Answer;
using test::Bytes;

ByteReader View(const Bytes& bytes) {
    return ByteReader(bytes.data(), bytes.size());
}

QueryReply ReadAnswer(const Bytes& packet, AnswerFields& fields) {
    return QueryPackets::Read(View(packet), 0xB1, 0xB2, fields);
}

AnswerFields Fields(std::vector<std::string> values) {
    AnswerFields fields;
    for (size_t i = 0; i < values.size(); ++i)
        fields[i] = values[i];
    return fields;
}

TEST(QueryPacketsTest, CodePacketLayout) {
    PacketHeader header = {0x48, 0x42, 3, 0x82, 1, 2, 3, 4, 5, 6};
    const uint8_t codes[12] = {10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42};
    uint8_t out[kQueryBufferSize];
    ASSERT_EQ(QueryPackets::BuildCodes(header, 3, codes, 70000, out, sizeof out), 26u);
    const Bytes expected = {0x48, 0x42, 3,  0x11, 1,  2,  3,  4,  5,  6,  0x11, 0x70, 3,
                            10,   11,   12, 20,   21, 22, 30, 31, 32, 40, 41,   42,   0};
    EXPECT_EQ(Bytes(out, out + 26), expected);

    // The largest packet the buffer carries, and nothing beyond it.
    std::vector<uint8_t> many(4 * 134, 7);
    EXPECT_EQ(QueryPackets::BuildCodes(header, 133, many.data(), 0, out, sizeof out), 546u);
    EXPECT_EQ(out[12], 133);
    EXPECT_EQ(QueryPackets::BuildCodes(header, 134, many.data(), 0, out, sizeof out), 0u);
    EXPECT_EQ(QueryPackets::BuildCodes(header, 0, many.data(), 0, out, sizeof out), 0u);
    EXPECT_EQ(QueryPackets::BuildCodes(header, 3, codes, 0, out, 25), 0u);
}

TEST(QueryPacketsTest, HandshakeChecks) {
    const Bytes offer = test::ServerPacket(0x81, 10);
    EXPECT_EQ(HandshakePackets::ClassifyOfferPhase(View(offer)), HandshakeReply::kOffer);
    EXPECT_EQ(HandshakePackets::ClassifyOfferPhase(View(test::ServerPacket(0x81, 9))),
              HandshakeReply::kIgnore);
    EXPECT_EQ(HandshakePackets::ClassifyOfferPhase(View(test::ServerPacket(0xC1, 4))),
              HandshakeReply::kTooOld);
    EXPECT_EQ(HandshakePackets::ClassifyConfirmPhase(View(test::ServerPacket(0xC1, 10))),
              HandshakeReply::kIgnore);
    for (uint8_t refusal : {0xC2, 0xD1}) {
        EXPECT_EQ(HandshakePackets::ClassifyOfferPhase(View(test::ServerPacket(refusal, 10))),
                  HandshakeReply::kRefused);
        EXPECT_EQ(HandshakePackets::ClassifyConfirmPhase(View(test::ServerPacket(refusal, 10))),
                  HandshakeReply::kRefused);
    }
    EXPECT_EQ(HandshakePackets::ClassifyConfirmPhase(View(test::Accept(5))),
              HandshakeReply::kAccept);
    Bytes shortAccept = test::Accept(5);
    shortAccept.pop_back();
    EXPECT_EQ(HandshakePackets::ClassifyConfirmPhase(View(shortAccept)), HandshakeReply::kIgnore);
    EXPECT_EQ(HandshakePackets::RequestedCandidates(View(test::Accept(5))), 5);
    Bytes wrongMagic = offer;
    wrongMagic[1] = 'X';
    EXPECT_EQ(HandshakePackets::ClassifyOfferPhase(View(wrongMagic)), HandshakeReply::kIgnore);
    EXPECT_EQ(HandshakePackets::ClassifyOfferPhase(View(Bytes{0x48, 0x42})),
              HandshakeReply::kIgnore);
    EXPECT_EQ(HandshakePackets::Confirm(HandshakePackets::HeaderOf(View(offer), {}))[3], 0x02);
}

TEST(QueryPacketsTest, AnswerFieldsSplitAtRunsOfLineFeeds) {
    AnswerFields fields;
    ASSERT_EQ(ReadAnswer(Answer(""), fields), QueryReply::kAnswer);
    EXPECT_EQ(fields, AnswerFields{});

    ASSERT_EQ(ReadAnswer(Answer("a\nb"), fields), QueryReply::kAnswer);
    EXPECT_EQ(fields, Fields({"a", "b"}));

    ASSERT_EQ(ReadAnswer(Answer("id\n\n\nlink\nTitle\nArtist\n"), fields), QueryReply::kAnswer);
    EXPECT_EQ(fields, Fields({"id", "link", "Title", "Artist"}));

    ASSERT_EQ(ReadAnswer(Answer("\n\nTitle\nArtist"), fields), QueryReply::kAnswer);
    EXPECT_EQ(fields, Fields({"Title", "Artist"}));
    EXPECT_TRUE(fields[2].empty() && fields[3].empty());

    ASSERT_EQ(ReadAnswer(Answer("0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11"), fields),
              QueryReply::kAnswer);
    EXPECT_EQ(fields, Fields({"0", "1", "2", "3", "4", "5", "6", "7"}));

    // The text is a byte string: a 0 byte ends it.
    ASSERT_EQ(ReadAnswer(Answer(std::string("a\nb\0c\nd", 7)), fields), QueryReply::kAnswer);
    EXPECT_EQ(fields, Fields({"a", "b"}));
}

TEST(QueryPacketsTest, AnswerLengthIsCutAtTheBufferAndTheDatagram) {
    AnswerFields fields;
    const std::string long_text(600, 'x');
    ASSERT_EQ(ReadAnswer(Answer(long_text, 1000), fields), QueryReply::kAnswer);
    EXPECT_EQ(fields[0].size(), 535u);

    ASSERT_EQ(ReadAnswer(Answer(long_text, 535), fields), QueryReply::kAnswer);
    EXPECT_EQ(fields[0].size(), 535u);
    ASSERT_EQ(ReadAnswer(Answer(long_text, 536), fields), QueryReply::kAnswer);
    EXPECT_EQ(fields[0].size(), 535u);

    // A length field beyond the datagram takes the datagram's text only.
    ASSERT_EQ(ReadAnswer(Answer("T\nA", 400), fields), QueryReply::kAnswer);
    EXPECT_EQ(fields, Fields({"T", "A"}));
    // And a shorter one cuts the text.
    ASSERT_EQ(ReadAnswer(Answer("Title\nArtist", 3), fields), QueryReply::kAnswer);
    EXPECT_EQ(fields, Fields({"Tit"}));
}

TEST(QueryPacketsTest, OnlyMatchingAnswersAndRefusalsCount) {
    AnswerFields fields = Fields({"kept"});
    EXPECT_EQ(ReadAnswer(Answer("x", -1, 2), fields), QueryReply::kIgnore);
    EXPECT_EQ(fields[0], "kept");
    Bytes wrongToken = Answer("x");
    wrongToken[5] = 0;
    EXPECT_EQ(ReadAnswer(wrongToken, fields), QueryReply::kIgnore);
    Bytes tooShort = Answer("");
    tooShort.pop_back();
    EXPECT_EQ(ReadAnswer(tooShort, fields), QueryReply::kIgnore);
    Bytes unknown = Answer("x");
    unknown[3] = 0x92;
    EXPECT_EQ(ReadAnswer(unknown, fields), QueryReply::kIgnore);
    EXPECT_EQ(ReadAnswer(Bytes{0x48, 0x42, 1, 0xD1, 0xB1}, fields), QueryReply::kIgnore);
    EXPECT_EQ(ReadAnswer(test::ServerPacket(0xD1, 6, 1, {0xB1, 0xB2}), fields),
              QueryReply::kRefused);
    EXPECT_EQ(ReadAnswer(test::ServerPacket(0xC2, 10, 1, {0xB1, 0xB2}), fields),
              QueryReply::kIgnore);
    EXPECT_EQ(fields[0], "kept");
}

}  // namespace
}  // namespace quil
