#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ByteReader.h"

namespace quil {

// Sequential reader over a ByteReader with a sticky failure: once a read
// runs past the end, it and every later read answer 0 and ok() stays false.
// Parsers read a whole record, then test ok() once.
class ByteCursor {
public:
    explicit ByteCursor(ByteReader bytes, size_t offset = 0) : bytes_(bytes), offset_(offset) {
        if (offset > bytes.size()) ok_ = false;
    }

    bool ok() const { return ok_; }
    size_t offset() const { return offset_; }
    size_t remaining() const { return ok_ ? bytes_.size() - offset_ : 0; }

    uint8_t U8() { return Take<uint8_t>(1, &ByteReader::ReadU8); }
    int8_t I8() { return Take<int8_t>(1, &ByteReader::ReadI8); }
    uint16_t U16BE() { return Take<uint16_t>(2, &ByteReader::ReadU16BE); }
    int16_t I16BE() { return Take<int16_t>(2, &ByteReader::ReadI16BE); }
    uint32_t U32BE() { return Take<uint32_t>(4, &ByteReader::ReadU32BE); }
    uint16_t U16LE() { return Take<uint16_t>(2, &ByteReader::ReadU16LE); }
    uint32_t U32LE() { return Take<uint32_t>(4, &ByteReader::ReadU32LE); }

    void Skip(size_t count) {
        if (ok_ && bytes_.Contains(offset_, count)) {
            offset_ += count;
        } else {
            ok_ = false;
        }
    }

private:
    template <typename T>
    T Take(size_t width, bool (ByteReader::*read)(size_t, T&) const) {
        T value{};
        if (ok_ && (bytes_.*read)(offset_, value)) {
            offset_ += width;
            return value;
        }
        ok_ = false;
        return T{};
    }

    ByteReader bytes_;
    size_t offset_ = 0;
    bool ok_ = true;
};

}  // namespace quil
