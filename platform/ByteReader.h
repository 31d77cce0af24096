#pragma once

#include <cstddef>
#include <cstdint>

namespace quil {

// Read-only view of untrusted bytes (font files, datagrams, HTTP answers,
// settings files). Every read names an offset and is checked against the
// view's size first; a read that does not fit answers false and leaves its
// output untouched, so a lying length or offset can never reach past the end.
// The view does not own the bytes: they must outlive it.
class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }

    // True when [offset, offset + length) lies inside the view (overflow-safe).
    bool Contains(size_t offset, size_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    bool ReadU8(size_t offset, uint8_t& out) const {
        if (!Contains(offset, 1)) return false;
        out = data_[offset];
        return true;
    }
    bool ReadI8(size_t offset, int8_t& out) const {
        uint8_t v;
        if (!ReadU8(offset, v)) return false;
        out = static_cast<int8_t>(v);
        return true;
    }
    bool ReadU16BE(size_t offset, uint16_t& out) const {
        if (!Contains(offset, 2)) return false;
        out = static_cast<uint16_t>(data_[offset] << 8 | data_[offset + 1]);
        return true;
    }
    bool ReadI16BE(size_t offset, int16_t& out) const {
        uint16_t v;
        if (!ReadU16BE(offset, v)) return false;
        out = static_cast<int16_t>(v);
        return true;
    }
    bool ReadU32BE(size_t offset, uint32_t& out) const {
        if (!Contains(offset, 4)) return false;
        out = uint32_t{data_[offset]} << 24 | uint32_t{data_[offset + 1]} << 16 |
              uint32_t{data_[offset + 2]} << 8 | uint32_t{data_[offset + 3]};
        return true;
    }
    bool ReadU16LE(size_t offset, uint16_t& out) const {
        if (!Contains(offset, 2)) return false;
        out = static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
        return true;
    }
    bool ReadU32LE(size_t offset, uint32_t& out) const {
        if (!Contains(offset, 4)) return false;
        out = uint32_t{data_[offset]} | uint32_t{data_[offset + 1]} << 8 |
              uint32_t{data_[offset + 2]} << 16 | uint32_t{data_[offset + 3]} << 24;
        return true;
    }

    // The bytes [offset, offset + length) as a view of their own, or an empty
    // view when they do not fit.
    ByteReader Slice(size_t offset, size_t length) const {
        if (!Contains(offset, length)) return ByteReader();
        return ByteReader(data_ + offset, length);
    }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace quil
