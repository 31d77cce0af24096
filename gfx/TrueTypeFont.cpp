#include "gfx/TrueTypeFont.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <new>
#include <utility>

#include "platform/ByteCursor.h"

namespace quil {

namespace {

constexpr uint16_t kMaxTables = 50;
constexpr size_t kDirectoryStart = 12;
constexpr size_t kTableRecordSize = 16;

constexpr uint32_t Tag(const char (&name)[5]) {
    return uint32_t{static_cast<uint8_t>(name[0])} << 24 |
           uint32_t{static_cast<uint8_t>(name[1])} << 16 |
           uint32_t{static_cast<uint8_t>(name[2])} << 8 | uint32_t{static_cast<uint8_t>(name[3])};
}

// errno after a failed call, never 0 so that the caller sees a failure.
int LastError(int fallback) {
    return errno != 0 ? errno : fallback;
}

// Closes the file on every way out of Load.
struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file)
            std::fclose(file);
    }
};

}  // namespace

int TrueTypeFont::Load(const std::string& path) {
    Reset();
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return LastError(EIO);
    FileCloser closer{file};

    errno = 0;
    if (std::fseek(file, 0, SEEK_END) != 0)
        return LastError(EIO);
    const long size = std::ftell(file);
    if (size < 0)
        return LastError(EIO);
    if (size == 0)
        return kEmptyFile;
    // Offsets inside a font are 32-bit and the program's own sizes signed
    // 32-bit: a larger file is no font this reader can hold.
    if (size > INT32_MAX)
        return ENOMEM;

    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    errno = 0;
    if (std::fseek(file, 0, SEEK_SET) != 0)
        return LastError(EIO);
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
        return LastError(EIO);
    return LoadFromBytes(std::move(bytes));
}

int TrueTypeFont::LoadFromBytes(std::vector<uint8_t> bytes) {
    Reset();
    if (bytes.empty())
        return kEmptyFile;
    data_ = std::move(bytes);
    bytes_ = ByteReader(data_.data(), data_.size());
    const int result = Parse();
    if (result != 0)
        Reset();
    return result;
}

void TrueTypeFont::Reset() {
    loaded_ = false;
    data_.clear();
    data_.shrink_to_fit();
    bytes_ = ByteReader();
    sfntVersion_ = 0;
    cmap_ = glyf_ = head_ = hhea_ = hmtx_ = loca_ = 0;
    byteMap_ = 0;
    byteMapFormat_ = 0;
    unicodeMap_ = 0;
    longOffsets_ = 0;
    unitsPerEm_ = 0;
    emScale_ = 0;
    descent_ = 0;
    ascent_ = 0;
    horizontalMetricCount_ = 0;
}

int TrueTypeFont::Parse() {
    ByteCursor header(bytes_);
    sfntVersion_ = header.U32BE();
    const uint16_t tableCount = header.U16BE();
    if (!header.ok() || tableCount > kMaxTables)
        return kBadFont;

    for (uint16_t i = 0; i < tableCount; ++i) {
        ByteCursor record(bytes_, kDirectoryStart + i * kTableRecordSize);
        const uint32_t tag = record.U32BE();
        record.Skip(4);  // checksum
        const uint32_t offset = record.U32BE();
        if (!record.ok())
            return kBadFont;
        // A later record with the same tag replaces an earlier one.
        switch (tag) {
            case Tag("cmap"):
                cmap_ = offset;
                break;
            case Tag("glyf"):
                glyf_ = offset;
                break;
            case Tag("head"):
                head_ = offset;
                break;
            case Tag("hhea"):
                hhea_ = offset;
                break;
            case Tag("hmtx"):
                hmtx_ = offset;
                break;
            case Tag("loca"):
                loca_ = offset;
                break;
            default:
                break;
        }
    }
    if (cmap_ == 0 || glyf_ == 0 || head_ == 0 || hhea_ == 0 || hmtx_ == 0 || loca_ == 0) {
        return kBadFont;
    }
    // glyf, hmtx and loca are read per lookup and checked there; an offset
    // past the end only makes every such lookup fail.

    if (!ParseCmap())
        return kBadFont;

    int16_t yMin = 0;
    int16_t yMax = 0;
    if (!bytes_.ReadU16BE(size_t{head_} + 50, longOffsets_) ||
        !bytes_.ReadU16BE(size_t{head_} + 18, unitsPerEm_) ||
        !bytes_.ReadI16BE(size_t{head_} + 38, yMin) ||
        !bytes_.ReadI16BE(size_t{head_} + 42, yMax)) {
        return kBadFont;
    }
    if (unitsPerEm_ == 0)
        return kBadFont;
    emScale_ = 1.0f / unitsPerEm_;
    descent_ = yMin * emScale_;
    ascent_ = yMax * emScale_;

    // Without a single long metric no glyph has an advance.
    if (!bytes_.ReadU16BE(size_t{hhea_} + 34, horizontalMetricCount_) ||
        horizontalMetricCount_ == 0) {
        return kBadFont;
    }

    loaded_ = true;
    return 0;
}

float TrueTypeFont::Advance(uint32_t glyph) const {
    if (!loaded_)
        return 0;
    const uint32_t entry = glyph < horizontalMetricCount_ ? glyph : horizontalMetricCount_ - 1u;
    uint16_t advance = 0;
    if (!bytes_.ReadU16BE(size_t{hmtx_} + 4 * size_t{entry}, advance))
        return 0;
    return advance * emScale_;
}

}  // namespace quil
