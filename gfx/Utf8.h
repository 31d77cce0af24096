#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ByteReader.h"

namespace quil {

// Reads code points from UTF-8 bytes by the lead byte alone: 0x00..0xBF
// stand alone (a stray continuation byte 0x80..0xBF yields its low 7 bits),
// 0xC0..0xDF take one continuation byte, 0xE0..0xEF two, 0xF0..0xFF three.
// Continuation bytes give their low 6 bits and are not checked, so any byte
// string decodes to something and song texts in odd encodings still show.
// A sequence cut off by the end of the input yields 0. Reads never go past
// the end (range form) or the terminator (zero-terminated form).
class Utf8Decoder {
  public:
    // Range form: the bytes [begin, end); they must outlive the decoder.
    Utf8Decoder(const uint8_t* begin, const uint8_t* end);
    explicit Utf8Decoder(ByteReader bytes) : bytes_(bytes) {}
    // Zero-terminated form: the bytes up to the first 0, which ends the input
    // (a 0 inside a sequence ends it there too). Must outlive the decoder.
    static Utf8Decoder ZeroTerminated(const char* text);

    bool AtEnd() const { return offset_ >= bytes_.size(); }
    // The next code point (up to 0x1FFFFF); 0 at or past the end.
    uint32_t Next();
    // Bytes consumed so far.
    size_t offset() const { return offset_; }

  private:
    ByteReader bytes_;
    size_t offset_ = 0;
};

}  // namespace quil
