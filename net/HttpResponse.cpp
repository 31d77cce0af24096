#include "net/HttpResponse.h"

#include <cstdint>
#include <limits>

namespace quil {

namespace {

// A piece of the head: [begin, end) in the received bytes.
struct Piece {
    size_t begin = 0;
    size_t end = 0;
    size_t size() const { return end - begin; }
};

// Splits the head text into pieces at one delimiter, as the head's lines and
// the status line's words are separated: runs of the delimiter are skipped,
// and a piece ends at the next delimiter, which is consumed, or at the end.
class Splitter {
  public:
    explicit Splitter(const ByteReader& bytes) : bytes_(bytes) {
        // The head is a text: it ends at the first 0 byte.
        uint8_t byte = 0;
        while (bytes_.ReadU8(end_, byte) && byte != 0)
            ++end_;
    }

    uint8_t At(size_t offset) const {
        uint8_t byte = 0;
        bytes_.ReadU8(offset, byte);
        return byte;
    }

    // False when only delimiters remain.
    bool Next(uint8_t delimiter, Piece& piece) {
        while (position_ < end_ && At(position_) == delimiter)
            ++position_;
        if (position_ == end_)
            return false;
        piece.begin = position_;
        while (position_ < end_ && At(position_) != delimiter)
            ++position_;
        piece.end = position_;
        if (position_ < end_)
            ++position_;
        return true;
    }

    size_t end() const { return end_; }

  private:
    ByteReader bytes_;
    size_t end_ = 0;
    size_t position_ = 0;
};

bool StartsWith(const Splitter& text, const Piece& piece, const char* prefix) {
    size_t i = 0;
    for (; prefix[i] != 0; ++i) {
        if (i >= piece.size() || text.At(piece.begin + i) != static_cast<uint8_t>(prefix[i]))
            return false;
    }
    return true;
}

bool IsSpace(uint8_t byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' ||
           byte == '\r';
}

// A decimal integer at the start of the piece (leading white space and a
// sign allowed, anything after the digits ignored). False when there are no
// digits or the number does not fit an int.
bool ReadDecimal(const Splitter& text, const Piece& piece, int& value) {
    size_t i = piece.begin;
    while (i < piece.end && IsSpace(text.At(i)))
        ++i;
    bool negative = false;
    if (i < piece.end && (text.At(i) == '+' || text.At(i) == '-')) {
        negative = text.At(i) == '-';
        ++i;
    }
    const int64_t limit = int64_t{std::numeric_limits<int>::max()} + (negative ? 1 : 0);
    int64_t magnitude = 0;
    size_t digits = 0;
    for (; i < piece.end && text.At(i) >= '0' && text.At(i) <= '9'; ++i, ++digits) {
        magnitude = magnitude * 10 + (text.At(i) - '0');
        if (magnitude > limit)
            return false;
    }
    if (digits == 0)
        return false;
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

}  // namespace

int ParseHttpResponse(const ByteReader& head, bool readStatus, HttpResponse& out) {
    Splitter text(head);
    Piece protocol;
    if (!text.Next(' ', protocol))
        return -1;
    if (!StartsWith(text, protocol, "HTTP") && !StartsWith(text, protocol, "ICY"))
        return -1;
    Piece code;
    if (!text.Next(' ', code))
        return -1;
    int status = 0;
    if (readStatus && !ReadDecimal(text, code, status))
        return -1;

    Piece line;
    if (!text.Next('\n', line))
        return -1;  // the rest of the status line
    for (;;) {
        if (!text.Next('\n', line))
            return -1;
        if (line.size() == 1 && text.At(line.begin) == '\r')
            break;
    }
    // A CR that ends the text has no LF after it: the head is incomplete,
    // and the body would start beyond the received bytes.
    if (line.end == text.end())
        return -1;
    out.status = status;
    out.bodyStart = line.begin + 2;
    return 0;
}

}  // namespace quil
