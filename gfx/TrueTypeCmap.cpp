// Character maps: the byte map (cmap format 0, else format 6) and the
// Unicode map (cmap format 4).
#include "gfx/TrueTypeFont.h"
#include "platform/ByteCursor.h"

namespace quil {

namespace {

constexpr size_t kEncodingRecordsStart = 4;
constexpr size_t kEncodingRecordSize = 8;

// Absolute offset of the first subtable in `format`, 0 when there is none.
// A record outside the file fails the walk; a subtable whose format word
// lies outside the file is passed over.
bool FindSubtable(const ByteReader& bytes, size_t cmap, uint16_t format, size_t& found) {
    found = 0;
    uint16_t count = 0;
    if (!bytes.ReadU16BE(cmap + 2, count))
        return false;
    for (uint16_t i = 0; i < count; ++i) {
        // Platform and encoding are not looked at: the format decides.
        uint32_t offset = 0;
        if (!bytes.ReadU32BE(cmap + kEncodingRecordsStart + i * kEncodingRecordSize + 4, offset)) {
            return false;
        }
        uint16_t subtableFormat = 0;
        if (!bytes.ReadU16BE(cmap + offset, subtableFormat))
            continue;
        if (subtableFormat == format) {
            found = cmap + offset;
            return true;
        }
    }
    return true;
}

}  // namespace

bool TrueTypeFont::ParseCmap() {
    // Fonts made for Unix and Windows seldom carry format 0; the Macintosh
    // Roman subtable in format 6 then serves the 8-bit codes.
    size_t format0 = 0;
    size_t format6 = 0;
    if (!FindSubtable(bytes_, cmap_, 0, format0))
        return false;
    if (format0 != 0) {
        byteMap_ = format0;
        byteMapFormat_ = 0;
    } else {
        if (!FindSubtable(bytes_, cmap_, 6, format6))
            return false;
        byteMap_ = format6;
        byteMapFormat_ = 6;
    }
    if (!FindSubtable(bytes_, cmap_, 4, unicodeMap_))
        return false;
    return unicodeMap_ != 0;
}

uint32_t TrueTypeFont::GlyphForByte(uint32_t code) const {
    if (code >= 256 || byteMap_ == 0)
        return 0;
    if (byteMapFormat_ == 0) {
        uint8_t glyph = 0;
        return bytes_.ReadU8(byteMap_ + 6 + code, glyph) ? glyph : 0;
    }
    ByteCursor header(bytes_, byteMap_ + 6);
    const uint16_t firstCode = header.U16BE();
    const uint16_t entryCount = header.U16BE();
    if (!header.ok() || code < firstCode || code - firstCode >= entryCount)
        return 0;
    uint16_t glyph = 0;
    return bytes_.ReadU16BE(byteMap_ + 10 + 2 * size_t{code - firstCode}, glyph) ? glyph : 0;
}

uint32_t TrueTypeFont::GlyphForUnicode(uint32_t codePoint) const {
    if (!loaded_ || codePoint >= 0x10000)
        return 0;
    uint16_t segCountX2 = 0;
    if (!bytes_.ReadU16BE(unicodeMap_ + 6, segCountX2))
        return 0;
    const size_t segCount = segCountX2 / 2;
    if (segCount == 0)
        return 0;
    const size_t endCodes = unicodeMap_ + 14;
    const size_t startCodes = endCodes + 2 * segCount + 2;
    const size_t idDeltas = startCodes + 2 * segCount;
    const size_t idRangeOffsets = idDeltas + 2 * segCount;

    // The first segment whose end is at or above the code point.
    size_t lo = 0;
    size_t hi = segCount - 1;
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        uint16_t end = 0;
        if (!bytes_.ReadU16BE(endCodes + 2 * mid, end))
            return 0;
        if (end < codePoint) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }

    uint16_t end = 0;
    uint16_t start = 0;
    uint16_t delta = 0;
    uint16_t rangeOffset = 0;
    const size_t rangeOffsetAt = idRangeOffsets + 2 * lo;
    if (!bytes_.ReadU16BE(endCodes + 2 * lo, end) ||
        !bytes_.ReadU16BE(startCodes + 2 * lo, start) ||
        !bytes_.ReadU16BE(idDeltas + 2 * lo, delta) ||
        !bytes_.ReadU16BE(rangeOffsetAt, rangeOffset)) {
        return 0;
    }
    // A table whose last segment stops short of 0xFFFF leaves the code
    // points above it unmapped.
    if (end < codePoint || start > codePoint)
        return 0;
    if (rangeOffset == 0)
        return (codePoint + delta) & 0xFFFFu;

    // idRangeOffset counts bytes from its own position to the glyph entry.
    uint16_t value = 0;
    if (!bytes_.ReadU16BE(rangeOffsetAt + rangeOffset + 2 * size_t{codePoint - start}, value)) {
        return 0;
    }
    return value != 0 ? (value + delta) & 0xFFFFu : 0;
}

}  // namespace quil
